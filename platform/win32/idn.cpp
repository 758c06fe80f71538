#include "platform/idn.h"

#include <windows.h>

#include "platform/com/ole_text.h"

namespace corvo::platform {

namespace {

// The system directory's buffer and the result buffer of the conversion.
constexpr UINT kSystemDirectoryCapacity = 247;
constexpr int kAsciiCapacity = 257;
constexpr DWORD kIdnUseStd3AsciiRules = 0x02;

using IdnToAsciiFunction = int(WINAPI*)(DWORD, LPCWSTR, int, LPWSTR, int);

// The library, loaded for one conversion and released after it.
class LoadedLibrary {
  public:
    explicit LoadedLibrary(const wchar_t* path)
        : module_(::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH)) {}
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;
    ~LoadedLibrary() {
        if (module_ != nullptr) ::FreeLibrary(module_);
    }
    HMODULE get() const { return module_; }

  private:
    HMODULE module_;
};

}  // namespace

bool IdnToAscii(std::u16string_view host, size_t maxLength, std::u16string& ascii) {
    ascii.clear();
    if (host.empty() || host.size() > static_cast<size_t>(INT32_MAX)) return false;

    wchar_t directory[kSystemDirectoryCapacity];
    const UINT n = ::GetSystemDirectoryW(directory, kSystemDirectoryCapacity);
    if (n == 0 || n >= kSystemDirectoryCapacity) return false;
    std::wstring path(directory, n);
    if (path.back() != L'\\') path += L'\\';
    path += L"normaliz.dll";

    LoadedLibrary library(path.c_str());
    if (library.get() == nullptr) return false;
    const auto convert = reinterpret_cast<IdnToAsciiFunction>(
        reinterpret_cast<void (*)()>(::GetProcAddress(library.get(), "IdnToAscii")));
    if (convert == nullptr) return false;

    wchar_t result[kAsciiCapacity];
    const int length = convert(kIdnUseStd3AsciiRules, corvo::AsOleText(host.data()),
                               static_cast<int>(host.size()), result, kAsciiCapacity);
    // A failure fails the conversion, whatever the last error says: a host left
    // unconverted could never be compared in its ASCII form.
    if (length < 1 || length >= kAsciiCapacity) return false;
    if (static_cast<size_t>(length) > maxLength) return false;
    ascii.assign(corvo::AsUtf16View(result, static_cast<size_t>(length)));
    return true;
}

}  // namespace corvo::platform
