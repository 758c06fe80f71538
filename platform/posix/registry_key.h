// RegistryKey: one key of the in-memory registry tree, with its string values
// and its subkeys. Names are looked up case-insensitively (ASCII folding) and
// keep the case they were created with; iteration is in case-insensitive
// order, which is also the order of the file the tree is saved to.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "platform/posix/registry_name.h"

namespace corvo::platform {

class RegistryKey {
  public:
    using Subkeys = std::map<std::string, std::unique_ptr<RegistryKey>, RegistryNameLess>;
    // Value name -> string data; the empty name is the key's default value.
    using Values = std::map<std::string, std::string, RegistryNameLess>;

    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&&) = default;
    RegistryKey& operator=(RegistryKey&&) = default;

    const Subkeys& subkeys() const { return subkeys_; }
    const Values& values() const { return values_; }
    bool empty() const { return subkeys_.empty() && values_.empty(); }

    RegistryKey* FindSubkey(std::string_view name);
    const RegistryKey* FindSubkey(std::string_view name) const;
    // The subkey `name`, created when missing (an existing one keeps its case).
    RegistryKey& CreateSubkey(std::string_view name);
    // Removes the subkey with its whole subtree; false when there is none.
    bool RemoveSubkey(std::string_view name);

    const std::string* FindValue(std::string_view name) const;
    // Sets a value; an existing value keeps the case of its name.
    void SetValue(std::string_view name, std::string data);
    bool RemoveValue(std::string_view name);

  private:
    Subkeys subkeys_;
    Values values_;
};

}  // namespace corvo::platform
