#include "platform/module_file.h"

#include <windows.h>

#include "platform/com/ole_text.h"

namespace corvo::platform {

std::optional<std::u16string> GetModuleFileName(const void* address) {
    HMODULE module = nullptr;
    // The module that holds the code (the control's DLL), not the host process.
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module)) {
        return std::nullopt;
    }
    wchar_t buffer[kModuleFileNameCapacity];
    const DWORD n = ::GetModuleFileNameW(module, buffer, kModuleFileNameCapacity);
    // A full buffer means the path was cut: it would name another directory.
    if (n == 0 || n >= kModuleFileNameCapacity) return std::nullopt;
    return std::u16string(corvo::AsUtf16View(buffer, n));
}

}  // namespace corvo::platform
