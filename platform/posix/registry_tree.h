// RegistryTree: the current user's registry hive (HKEY_CURRENT_USER) held in
// memory, with operations in the manner of the Win32 registry functions.
//
// Keys are addressed by paths relative to the hive, components separated by
// a backslash ("Software\\Classes\\CLSID"); the empty path is the hive itself.
// Value name "" is a key's default value. Text is UTF-8 and values are
// strings (REG_SZ).
//
// Results:
//  - S_OK on success;
//  - HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for a missing key or value;
//  - E_INVALIDARG for a malformed path, name or string (empty component,
//    control characters, over-long name, the hive itself where a subkey is
//    required);
//  - HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED) when DeleteKey meets a key that
//    still has subkeys (as RegDeleteKey does).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/com/com.h"
#include "platform/posix/registry_key.h"

namespace corvo::platform {

class RegistryTree {
  public:
    RegistryTree() = default;
    RegistryTree(const RegistryTree&) = delete;
    RegistryTree& operator=(const RegistryTree&) = delete;
    RegistryTree(RegistryTree&&) = default;
    RegistryTree& operator=(RegistryTree&&) = default;

    RegistryKey& root() { return root_; }
    const RegistryKey& root() const { return root_; }

    // Creates the key and every missing key above it; S_OK also when it existed.
    HRESULT CreateKey(std::string_view path);
    // S_OK and *key set when the key exists.
    HRESULT OpenKey(std::string_view path, const RegistryKey** key) const;
    HRESULT OpenKey(std::string_view path, RegistryKey** key);

    // The key must exist.
    HRESULT SetValue(std::string_view path, std::string_view name, std::string_view data);
    HRESULT GetValue(std::string_view path, std::string_view name, std::string* data) const;
    HRESULT DeleteValue(std::string_view path, std::string_view name);

    // Deletes a key that has no subkeys (its values go with it).
    HRESULT DeleteKey(std::string_view path);
    // Deletes a key with its whole subtree.
    HRESULT DeleteTree(std::string_view path);

    // Names of the direct subkeys / the values of a key, in the stored order.
    HRESULT EnumSubkeys(std::string_view path, std::vector<std::string>* names) const;
    HRESULT EnumValues(std::string_view path,
                       std::vector<std::pair<std::string, std::string>>* values) const;

  private:
    // Splits `path` into the parent's path and the last component; E_INVALIDARG
    // for the hive itself or a malformed path.
    static HRESULT SplitLast(std::string_view path, std::string_view* parent,
                             std::string_view* leaf);

    RegistryKey root_;
};

// True when `path` is a well-formed key path ("" included).
bool IsValidRegistryPath(std::string_view path);

}  // namespace corvo::platform
