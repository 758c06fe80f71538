#include "platform/loadable_module.h"

#include <windows.h>

#include "platform/com/ole_text.h"
#include "platform/strict_utf8.h"

namespace corvo::platform {
namespace {

std::string SystemMessage(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string wide(length ? AsUtf16(text) : u"", length);
    if (text) ::LocalFree(text);
    while (!wide.empty() && (wide.back() == u'\r' || wide.back() == u'\n' || wide.back() == u' '))
        wide.pop_back();
    std::string out;
    if (wide.empty() || !StrictUtf16ToUtf8(wide, out)) out = "error " + std::to_string(error);
    return out;
}

}  // namespace

std::optional<LoadableModule> LoadableModule::Load(const std::string& path, std::string* message) {
    std::u16string widePath;
    if (!StrictUtf8ToUtf16(path, widePath)) {
        if (message) *message = "the path " + path + " is not valid UTF-8";
        return std::nullopt;
    }
    // Its own dependencies are looked for beside it first, as for a COM server.
    HMODULE handle =
        ::LoadLibraryExW(AsOleText(widePath.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle) {
        if (message) *message = "cannot load " + path + ": " + SystemMessage(::GetLastError());
        return std::nullopt;
    }
    return LoadableModule(handle);
}

void* LoadableModule::Export(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name))
                   : nullptr;
}

void LoadableModule::Free() {
    if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
    handle_ = nullptr;
}

}  // namespace corvo::platform
