#include "platform/file_stream.h"

#include <string>

#include "platform/code_page.h"

namespace corvo::platform {

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

}  // namespace corvo::platform
