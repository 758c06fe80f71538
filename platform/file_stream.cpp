// The parts of FileStream that are the same on every system; opening by a
// UTF-16 path is the system's (posix/file_stream.cpp, win32/file_stream.cpp).
#include "platform/file_stream.h"

namespace corvo::platform {

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        Close();
        file_ = other.file_;
        other.file_ = nullptr;
    }
    return *this;
}

FileStream FileStream::Open(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return FileStream();
    return FileStream(std::fopen(path, mode));
}

bool FileStream::Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

}  // namespace corvo::platform
