#include "platform/posix/registry_key.h"

namespace corvo::platform {

RegistryKey* RegistryKey::FindSubkey(std::string_view name) {
    auto it = subkeys_.find(name);
    return it == subkeys_.end() ? nullptr : it->second.get();
}

const RegistryKey* RegistryKey::FindSubkey(std::string_view name) const {
    auto it = subkeys_.find(name);
    return it == subkeys_.end() ? nullptr : it->second.get();
}

RegistryKey& RegistryKey::CreateSubkey(std::string_view name) {
    auto it = subkeys_.find(name);
    if (it == subkeys_.end()) {
        it = subkeys_.emplace(std::string(name), std::make_unique<RegistryKey>()).first;
    }
    return *it->second;
}

bool RegistryKey::RemoveSubkey(std::string_view name) {
    auto it = subkeys_.find(name);
    if (it == subkeys_.end()) return false;
    subkeys_.erase(it);
    return true;
}

const std::string* RegistryKey::FindValue(std::string_view name) const {
    auto it = values_.find(name);
    return it == values_.end() ? nullptr : &it->second;
}

void RegistryKey::SetValue(std::string_view name, std::string data) {
    auto it = values_.find(name);
    if (it == values_.end()) {
        values_.emplace(std::string(name), std::move(data));
    } else {
        it->second = std::move(data);
    }
}

bool RegistryKey::RemoveValue(std::string_view name) {
    auto it = values_.find(name);
    if (it == values_.end()) return false;
    values_.erase(it);
    return true;
}

}  // namespace corvo::platform
