// RegistrarRegistry: the registry operations the registrar needs, so that the
// same scripts run over the Windows registry and over the per-user file store
// on POSIX. Paths are relative to a root key, components separated by a
// backslash; text is UTF-8; value name "" is a key's default value.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace corvo::module {

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine };

class RegistrarRegistry {
  public:
    virtual ~RegistrarRegistry() = default;

    // S_OK when the key exists, S_FALSE when it does not.
    virtual HRESULT KeyExists(RegistryRoot root, std::string_view path) = 0;
    // A string value ("" names the default value); S_FALSE, and `data`
    // cleared, when the key or the value does not exist.
    virtual HRESULT GetStringValue(RegistryRoot root, std::string_view path, std::string_view name,
                                   std::string* data) = 0;
    // Creates the key and the missing keys above it; S_OK when it existed.
    virtual HRESULT CreateKey(RegistryRoot root, std::string_view path) = 0;
    // The key must exist.
    virtual HRESULT SetStringValue(RegistryRoot root, std::string_view path, std::string_view name,
                                   std::string_view data) = 0;
    // S_FALSE when the key or the value does not exist.
    virtual HRESULT DeleteValue(RegistryRoot root, std::string_view path,
                                std::string_view name) = 0;
    // Deletes the key with its subtree; S_FALSE when it does not exist.
    virtual HRESULT DeleteTree(RegistryRoot root, std::string_view path) = 0;
    // Deletes the key when it has neither subkeys nor values: S_OK when
    // deleted, S_FALSE when kept or missing.
    virtual HRESULT DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) = 0;
};

}  // namespace corvo::module
