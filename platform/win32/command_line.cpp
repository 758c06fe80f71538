#include "platform/command_line.h"

#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <cwchar>
#include <memory>
#include <string_view>

#include "platform/code_page_string.h"
#include "platform/com/ole_text.h"

namespace corvo::platform {
namespace {

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const { ::LocalFree(p); }
};

}  // namespace

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> wide(
        ::CommandLineToArgvW(::GetCommandLineW(), &count));
    if (!wide || count != argc) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> out;
    out.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        std::string utf8;
        const std::u16string_view text =
            corvo::AsUtf16View(wide.get()[i], std::wcslen(wide.get()[i]));
        if (!text.empty() && ConvertToCodePage(65001, text, utf8) != CodePageStringStatus::kOk) {
            utf8 = argv[i];
        }
        out.push_back(std::move(utf8));
    }
    return out;
}

}  // namespace corvo::platform
