#include "module/own_view_registry.h"

#include "module/ascii_case.h"

namespace corvo::module {

bool IsAtOrBelow(std::string_view path, std::string_view key) {
    return path.size() >= key.size() && EqualsIgnoreAsciiCase(path.substr(0, key.size()), key) &&
           (path.size() == key.size() || path[key.size()] == '\\');
}

bool OwnViewRegistry::Owns(RegistryRoot root, std::string_view path) const {
    if (root != RegistryRoot::kCurrentUser) return false;
    for (const std::string& key : own_keys_)
        if (IsAtOrBelow(path, key)) return true;
    return false;
}

HRESULT OwnViewRegistry::DeleteValue(RegistryRoot root, std::string_view path,
                                     std::string_view name) {
    return Owns(root, path) ? inner_.DeleteValue(root, path, name) : S_FALSE;
}

HRESULT OwnViewRegistry::DeleteTree(RegistryRoot root, std::string_view path) {
    return Owns(root, path) ? inner_.DeleteTree(root, path) : S_FALSE;
}

HRESULT OwnViewRegistry::DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) {
    return Owns(root, path) ? inner_.DeleteKeyIfEmpty(root, path) : S_FALSE;
}

}  // namespace corvo::module
