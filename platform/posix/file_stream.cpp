#include "platform/file_stream.h"

#include <string>

#include "platform/code_page.h"

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

FileStream FileStream::Open(const char16_t* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == 0) return FileStream();
    // UTF-8, with the terminator (count -1 converts it too).
    const int size = WideCharToMultiByte(kCodePageUtf8, path, -1, nullptr, 0);
    if (size <= 0) return FileStream();
    std::string narrow(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(kCodePageUtf8, path, -1, narrow.data(), size) != size) {
        return FileStream();
    }
    return Open(narrow.c_str(), mode);
}

bool FileStream::Close() {
    if (file_ == nullptr) return true;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    return ok;
}

}  // namespace corvo::platform
