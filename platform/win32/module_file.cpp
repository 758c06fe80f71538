#include "platform/module_file.h"

#include <windows.h>

#include <string>

#include "platform/com/ole_text.h"
#include "platform/strict_utf8.h"

namespace corvo::platform {
namespace {

// The module that holds the code (the control's DLL), not the host process.
HMODULE ModuleOf(const void* address) {
    HMODULE module = nullptr;
    if (!::GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            static_cast<LPCWSTR>(address), &module))
        return nullptr;
    return module;
}

// The longest path the system hands out (extended-length paths).
constexpr DWORD kLongestPath = 32768;

}  // namespace

std::optional<std::string> LoadedFilePath(const void* address) {
    HMODULE module = ModuleOf(address);
    if (!module) return std::nullopt;
    for (DWORD capacity = kModuleFileNameCapacity; capacity <= kLongestPath; capacity *= 2) {
        std::wstring buffer(capacity, L'\0');
        const DWORD n = ::GetModuleFileNameW(module, buffer.data(), capacity);
        if (n == 0) return std::nullopt;
        if (n < capacity) {
            std::string path;
            if (!StrictUtf16ToUtf8(AsUtf16View(buffer.data(), n), path)) return std::nullopt;
            return path;
        }
    }
    return std::nullopt;
}

std::optional<std::u16string> GetModuleFileName(const void* address) {
    HMODULE module = ModuleOf(address);
    if (!module) return std::nullopt;
    wchar_t buffer[kModuleFileNameCapacity];
    const DWORD n = ::GetModuleFileNameW(module, buffer, kModuleFileNameCapacity);
    // A full buffer means the path was cut: it would name another directory.
    if (n == 0 || n >= kModuleFileNameCapacity) return std::nullopt;
    return std::u16string(corvo::AsUtf16View(buffer, n));
}

}  // namespace corvo::platform
