// FileStream: RAII owner of a C runtime stream (FILE*), opened by a narrow or a
// UTF-16 path. On Windows the UTF-16 path goes to _wfopen; elsewhere it is
// converted to UTF-8, the file-name encoding of the POSIX file system.
#pragma once

#include <cstdio>

namespace corvo::platform {

class FileStream {
  public:
    FileStream() = default;
    explicit FileStream(std::FILE* file) : file_(file) {}
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    FileStream(FileStream&& other) noexcept : file_(other.file_) { other.file_ = nullptr; }
    FileStream& operator=(FileStream&& other) noexcept;
    ~FileStream() { Close(); }

    // Opens `path` with the fopen `mode`; an empty FileStream on failure
    // (also for a null path or mode).
    static FileStream Open(const char* path, const char* mode);
    static FileStream Open(const char16_t* path, const char* mode);

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // Closes the stream; true when there was none or fclose succeeded.
    bool Close();

  private:
    std::FILE* file_ = nullptr;
};

}  // namespace corvo::platform
