#include "module/own_view_registry.h"

namespace corvo::module {
namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool IsAtOrBelow(std::string_view path, std::string_view key) {
    if (path.size() < key.size()) return false;
    for (size_t i = 0; i < key.size(); ++i)
        if (Fold(path[i]) != Fold(key[i])) return false;
    return path.size() == key.size() || path[key.size()] == '\\';
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
