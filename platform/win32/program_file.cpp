#include "platform/program_file.h"

#include <windows.h>

#include <string>

#include "platform/com/ole_text.h"
#include "platform/strict_utf8.h"

namespace corvo::platform {

std::optional<std::filesystem::path> RunningProgramPath() {
    for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 2) {
        std::u16string buffer(capacity, u'\0');
        const DWORD n = ::GetModuleFileNameW(nullptr, AsOleText(buffer.data()), capacity);
        if (n == 0) return std::nullopt;
        if (n < capacity) {
            buffer.resize(n);
            return std::filesystem::path(buffer);
        }
    }
    return std::nullopt;
}

bool IsRunnableProgram(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error);
}

std::optional<std::filesystem::path> FindProgramOnPath(std::string_view name) {
    std::u16string wide;
    if (name.empty() || !StrictUtf8ToUtf16(name, wide) ||
        wide.find_first_of(u"\\/:") != std::u16string::npos)
        return std::nullopt;
    std::u16string found(MAX_PATH, u'\0');
    for (;;) {
        const DWORD n =
            ::SearchPathW(nullptr, AsOleText(wide.c_str()), L".exe",
                          static_cast<DWORD>(found.size()), AsOleText(found.data()), nullptr);
        if (n == 0) return std::nullopt;
        if (n < found.size()) {
            found.resize(n);
            return std::filesystem::path(found);
        }
        found.assign(n, u'\0');
    }
}

}  // namespace corvo::platform
