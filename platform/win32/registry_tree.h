// RegistryTree: the current user's registry (HKEY_CURRENT_USER), or one key
// of it standing in for the whole hive, through advapi32, with the operations
// the POSIX in-memory tree offers under the same names.
//
// Keys are addressed by paths relative to the tree's root, components
// separated by a backslash; the empty path is the root itself. Value name ""
// is a key's default value. Text is UTF-8 (converted to UTF-16 for the
// system) and values are strings (REG_SZ). Every call opens what it needs
// and closes it again; changes are the registry's at once.
//
// Results: S_OK; HRESULT_FROM_WIN32 of the system's error otherwise
// (ERROR_FILE_NOT_FOUND for a missing key or value, ERROR_ACCESS_DENIED when
// DeleteKey meets a key that has subkeys); E_INVALIDARG for text that is not
// valid UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/com.h"

namespace corvo::platform {

class RegistryTree {
  public:
    // `root`: the key of HKEY_CURRENT_USER that is the tree's root ("" for
    // the hive itself).
    explicit RegistryTree(std::string root) : root_(std::move(root)) {}
    RegistryTree(const RegistryTree&) = delete;
    RegistryTree& operator=(const RegistryTree&) = delete;

    // Creates the key and every missing key above it; S_OK also when it existed.
    HRESULT CreateKey(std::string_view path);

    // The key must exist.
    HRESULT SetValue(std::string_view path, std::string_view name, std::string_view data);
    HRESULT GetValue(std::string_view path, std::string_view name, std::string* data) const;
    HRESULT DeleteValue(std::string_view path, std::string_view name);

    // Deletes a key that has no subkeys (its values go with it).
    HRESULT DeleteKey(std::string_view path);
    // Deletes a key with its whole subtree.
    HRESULT DeleteTree(std::string_view path);

    // Names of the direct subkeys / the string values of a key, in the
    // system's order (values of other types read as "").
    HRESULT EnumSubkeys(std::string_view path, std::vector<std::string>* names) const;
    HRESULT EnumValues(std::string_view path,
                       std::vector<std::pair<std::string, std::string>>* values) const;

  private:
    // The UTF-16 path of `path` below HKEY_CURRENT_USER; false for bad UTF-8.
    bool FullPath(std::string_view path, std::u16string* full) const;

    std::string root_;
};

}  // namespace corvo::platform
