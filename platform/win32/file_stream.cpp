#include "platform/file_stream.h"

#include <cstring>
#include <string>

#include "platform/com/ole_text.h"

namespace corvo::platform {

FileStream FileStream::Open(const char16_t* path, const char* mode) {
    if (path == nullptr || mode == nullptr || path[0] == 0) return FileStream();
    // The mode is ASCII ("rb", "wb", ...); _wfopen wants it wide as well.
    std::wstring wideMode(mode, mode + std::strlen(mode));
    return FileStream(::_wfopen(corvo::AsOleText(path), wideMode.c_str()));
}

}  // namespace corvo::platform
