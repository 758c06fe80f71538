#include "platform/win32/registry_tree.h"

#include <windows.h>

#include <utility>

#include "platform/com/ole_text.h"
#include "platform/strict_utf8.h"

namespace corvo::platform {
namespace {

// An open registry key, closed by its holder.
class UniqueKey {
  public:
    UniqueKey() = default;
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    ~UniqueKey() {
        if (key_) ::RegCloseKey(key_);
    }
    HKEY get() const { return key_; }
    HKEY* Out() { return &key_; }

  private:
    HKEY key_ = nullptr;
};

HRESULT FromError(LSTATUS status) {
    return status == ERROR_SUCCESS ? S_OK : HResultFromWin32(static_cast<unsigned long>(status));
}

bool Wide(std::string_view utf8, std::u16string* out) {
    return StrictUtf8ToUtf16(utf8, *out);
}

std::string Narrow(const wchar_t* text, size_t length) {
    std::string out;
    if (!StrictUtf16ToUtf8(AsUtf16View(text, length), out)) return {};
    return out;
}

const wchar_t* Ole(const std::u16string& text) {
    return AsOleText(text.c_str());
}

}  // namespace

bool RegistryTree::FullPath(std::string_view path, std::u16string* full) const {
    std::string joined = root_;
    if (!joined.empty() && !path.empty()) joined += '\\';
    joined.append(path);
    return Wide(joined, full);
}

HRESULT RegistryTree::CreateKey(std::string_view path) {
    std::u16string full;
    if (!FullPath(path, &full)) return E_INVALIDARG;
    UniqueKey key;
    return FromError(::RegCreateKeyExW(HKEY_CURRENT_USER, Ole(full), 0, nullptr, 0, KEY_WRITE,
                                       nullptr, key.Out(), nullptr));
}

HRESULT RegistryTree::SetValue(std::string_view path, std::string_view name,
                               std::string_view data) {
    std::u16string full, wideName, wideData;
    if (!FullPath(path, &full) || !Wide(name, &wideName) || !Wide(data, &wideData))
        return E_INVALIDARG;
    UniqueKey key;
    HRESULT hr =
        FromError(::RegOpenKeyExW(HKEY_CURRENT_USER, Ole(full), 0, KEY_SET_VALUE, key.Out()));
    if (FAILED(hr)) return hr;
    const DWORD bytes = static_cast<DWORD>((wideData.size() + 1) * sizeof(char16_t));
    return FromError(::RegSetValueExW(key.get(), Ole(wideName), 0, REG_SZ,
                                      reinterpret_cast<const BYTE*>(wideData.c_str()), bytes));
}

HRESULT RegistryTree::GetValue(std::string_view path, std::string_view name,
                               std::string* data) const {
    std::u16string full, wideName;
    if (!FullPath(path, &full) || !Wide(name, &wideName)) return E_INVALIDARG;
    for (;;) {
        DWORD bytes = 0;
        HRESULT hr = FromError(::RegGetValueW(HKEY_CURRENT_USER, Ole(full), Ole(wideName),
                                              RRF_RT_REG_SZ, nullptr, nullptr, &bytes));
        if (FAILED(hr)) return hr;
        std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        const LSTATUS status = ::RegGetValueW(HKEY_CURRENT_USER, Ole(full), Ole(wideName),
                                              RRF_RT_REG_SZ, nullptr, buffer.data(), &got);
        if (status == ERROR_MORE_DATA) continue;  // it grew in between
        hr = FromError(status);
        if (FAILED(hr)) return hr;
        // `got` counts the terminating NUL that the system added.
        size_t length = got / sizeof(wchar_t);
        while (length > 0 && buffer[length - 1] == L'\0') --length;
        *data = Narrow(buffer.data(), length);
        return S_OK;
    }
}

HRESULT RegistryTree::DeleteValue(std::string_view path, std::string_view name) {
    std::u16string full, wideName;
    if (!FullPath(path, &full) || !Wide(name, &wideName)) return E_INVALIDARG;
    UniqueKey key;
    HRESULT hr =
        FromError(::RegOpenKeyExW(HKEY_CURRENT_USER, Ole(full), 0, KEY_SET_VALUE, key.Out()));
    if (FAILED(hr)) return hr;
    return FromError(::RegDeleteValueW(key.get(), Ole(wideName)));
}

HRESULT RegistryTree::DeleteKey(std::string_view path) {
    std::u16string full;
    if (path.empty() || !FullPath(path, &full)) return E_INVALIDARG;
    std::vector<std::string> subkeys;
    HRESULT hr = EnumSubkeys(path, &subkeys);
    if (FAILED(hr)) return hr;
    if (!subkeys.empty()) return HResultFromWin32(ERROR_ACCESS_DENIED);
    return FromError(::RegDeleteKeyW(HKEY_CURRENT_USER, Ole(full)));
}

HRESULT RegistryTree::DeleteTree(std::string_view path) {
    std::u16string full;
    if (path.empty() || !FullPath(path, &full)) return E_INVALIDARG;
    return FromError(::RegDeleteTreeW(HKEY_CURRENT_USER, Ole(full)));
}

HRESULT RegistryTree::EnumSubkeys(std::string_view path, std::vector<std::string>* names) const {
    std::u16string full;
    if (!FullPath(path, &full)) return E_INVALIDARG;
    UniqueKey key;
    HRESULT hr = FromError(
        ::RegOpenKeyExW(HKEY_CURRENT_USER, Ole(full), 0, KEY_ENUMERATE_SUB_KEYS, key.Out()));
    if (FAILED(hr)) return hr;
    names->clear();
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];  // key names have at most 255 characters
        DWORD length = static_cast<DWORD>(std::size(name));
        const LSTATUS status =
            ::RegEnumKeyExW(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return S_OK;
        if (status != ERROR_SUCCESS) return FromError(status);
        names->push_back(Narrow(name, length));
    }
}

HRESULT RegistryTree::EnumValues(std::string_view path,
                                 std::vector<std::pair<std::string, std::string>>* values) const {
    std::u16string full;
    if (!FullPath(path, &full)) return E_INVALIDARG;
    UniqueKey key;
    HRESULT hr =
        FromError(::RegOpenKeyExW(HKEY_CURRENT_USER, Ole(full), 0, KEY_QUERY_VALUE, key.Out()));
    if (FAILED(hr)) return hr;
    DWORD maxName = 0, maxData = 0;
    hr = FromError(::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                      nullptr, nullptr, &maxName, &maxData, nullptr, nullptr));
    if (FAILED(hr)) return hr;
    values->clear();
    std::wstring name(maxName + 1, L'\0');
    std::wstring data(maxData / sizeof(wchar_t) + 1, L'\0');
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        DWORD type = 0;
        const LSTATUS status =
            ::RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS) return S_OK;
        if (status != ERROR_SUCCESS) return FromError(status);
        std::string text;
        if (type == REG_SZ) {
            size_t length = dataBytes / sizeof(wchar_t);
            while (length > 0 && data[length - 1] == L'\0') --length;
            text = Narrow(data.data(), length);
        }
        values->emplace_back(Narrow(name.data(), nameLength), std::move(text));
    }
}

}  // namespace corvo::platform
