#include "platform/posix/registry_tree.h"

namespace corvo::platform {

namespace {

const HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

// Calls `visit` with each component of `path`; stops at the first false.
template <typename Visit>
bool ForEachComponent(std::string_view path, Visit visit) {
    if (path.empty()) return true;
    size_t start = 0;
    for (;;) {
        const size_t end = path.find('\\', start);
        const std::string_view part = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!visit(part)) return false;
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

template <typename Key>
HRESULT Walk(Key& root, std::string_view path, Key** found) {
    if (!IsValidRegistryPath(path)) return E_INVALIDARG;
    Key* key = &root;
    ForEachComponent(path, [&](std::string_view part) {
        key = key->FindSubkey(part);
        return key != nullptr;
    });
    if (key == nullptr) return kNotFound;
    *found = key;
    return S_OK;
}

}  // namespace

bool IsValidRegistryPath(std::string_view path) {
    return ForEachComponent(path, IsValidRegistryKeyName);
}

HRESULT RegistryTree::SplitLast(std::string_view path, std::string_view* parent,
                                std::string_view* leaf) {
    if (path.empty() || !IsValidRegistryPath(path)) return E_INVALIDARG;
    const size_t slash = path.rfind('\\');
    *parent = slash == std::string_view::npos ? std::string_view() : path.substr(0, slash);
    *leaf = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return S_OK;
}

HRESULT RegistryTree::CreateKey(std::string_view path) {
    if (!IsValidRegistryPath(path)) return E_INVALIDARG;
    RegistryKey* key = &root_;
    ForEachComponent(path, [&](std::string_view part) {
        key = &key->CreateSubkey(part);
        return true;
    });
    return S_OK;
}

HRESULT RegistryTree::OpenKey(std::string_view path, const RegistryKey** key) const {
    return Walk(root_, path, key);
}

HRESULT RegistryTree::OpenKey(std::string_view path, RegistryKey** key) {
    return Walk(root_, path, key);
}

HRESULT RegistryTree::SetValue(std::string_view path, std::string_view name,
                               std::string_view data) {
    if (!IsValidRegistryValueName(name) || !IsValidRegistryString(data)) return E_INVALIDARG;
    RegistryKey* key = nullptr;
    const HRESULT hr = OpenKey(path, &key);
    if (FAILED(hr)) return hr;
    key->SetValue(name, std::string(data));
    return S_OK;
}

HRESULT RegistryTree::GetValue(std::string_view path, std::string_view name,
                               std::string* data) const {
    if (data == nullptr) return E_POINTER;
    const RegistryKey* key = nullptr;
    const HRESULT hr = OpenKey(path, &key);
    if (FAILED(hr)) return hr;
    const std::string* value = key->FindValue(name);
    if (value == nullptr) return kNotFound;
    *data = *value;
    return S_OK;
}

HRESULT RegistryTree::DeleteValue(std::string_view path, std::string_view name) {
    RegistryKey* key = nullptr;
    const HRESULT hr = OpenKey(path, &key);
    if (FAILED(hr)) return hr;
    return key->RemoveValue(name) ? S_OK : kNotFound;
}

HRESULT RegistryTree::DeleteKey(std::string_view path) {
    std::string_view parentPath, leaf;
    HRESULT hr = SplitLast(path, &parentPath, &leaf);
    if (FAILED(hr)) return hr;
    RegistryKey* parent = nullptr;
    hr = OpenKey(parentPath, &parent);
    if (FAILED(hr)) return hr;
    const RegistryKey* key = parent->FindSubkey(leaf);
    if (key == nullptr) return kNotFound;
    if (!key->subkeys().empty()) return HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED);
    parent->RemoveSubkey(leaf);
    return S_OK;
}

HRESULT RegistryTree::DeleteTree(std::string_view path) {
    std::string_view parentPath, leaf;
    HRESULT hr = SplitLast(path, &parentPath, &leaf);
    if (FAILED(hr)) return hr;
    RegistryKey* parent = nullptr;
    hr = OpenKey(parentPath, &parent);
    if (FAILED(hr)) return hr;
    return parent->RemoveSubkey(leaf) ? S_OK : kNotFound;
}

HRESULT RegistryTree::EnumSubkeys(std::string_view path, std::vector<std::string>* names) const {
    if (names == nullptr) return E_POINTER;
    const RegistryKey* key = nullptr;
    const HRESULT hr = OpenKey(path, &key);
    if (FAILED(hr)) return hr;
    names->clear();
    for (const auto& [name, subkey] : key->subkeys()) names->push_back(name);
    return S_OK;
}

HRESULT RegistryTree::EnumValues(std::string_view path,
                                 std::vector<std::pair<std::string, std::string>>* values) const {
    if (values == nullptr) return E_POINTER;
    const RegistryKey* key = nullptr;
    const HRESULT hr = OpenKey(path, &key);
    if (FAILED(hr)) return hr;
    values->assign(key->values().begin(), key->values().end());
    return S_OK;
}

}  // namespace corvo::platform
