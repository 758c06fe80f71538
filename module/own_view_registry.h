// OwnViewRegistry: a registrar registry that lets deletions through only at
// and below the keys of one registry view.
//
// A user of 64-bit Windows can have both modules registered at once, the
// i686 one for 32-bit hosts and the x86_64 one for 64-bit hosts. The class
// key lives in each bitness's own view of HKCU\Software\Classes, while the
// ProgIDs, the AppID and the type library's version key (with "0\win32" and
// "0\win64" below it) are shared by both. Unregistering one module while
// the other's type library stays registered runs the same scripts over this
// wrapper, so it takes away its own keys and leaves the shared ones to the
// other module (docs/registration.md).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/registrar_registry.h"

namespace corvo::module {

// `path` is `key` or lies below it (both below one root), with ASCII case
// folding as the registry compares key names.
bool IsAtOrBelow(std::string_view path, std::string_view key);

class OwnViewRegistry final : public RegistrarRegistry {
  public:
    // `own_keys`: paths below HKCU (e.g. "Software\\Classes\\CLSID\\{...}"),
    // matched with ASCII case folding.
    OwnViewRegistry(RegistrarRegistry& inner, std::vector<std::string> own_keys)
        : inner_(inner), own_keys_(std::move(own_keys)) {}

    HRESULT KeyExists(RegistryRoot root, std::string_view path) override {
        return inner_.KeyExists(root, path);
    }
    HRESULT GetStringValue(RegistryRoot root, std::string_view path, std::string_view name,
                           std::string* data) override {
        return inner_.GetStringValue(root, path, name, data);
    }
    HRESULT CreateKey(RegistryRoot root, std::string_view path) override {
        return inner_.CreateKey(root, path);
    }
    HRESULT SetStringValue(RegistryRoot root, std::string_view path, std::string_view name,
                           std::string_view data) override {
        return inner_.SetStringValue(root, path, name, data);
    }
    // Outside the own keys these leave everything in place and answer S_FALSE.
    HRESULT DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) override;
    HRESULT DeleteTree(RegistryRoot root, std::string_view path) override;
    HRESULT DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) override;

  private:
    bool Owns(RegistryRoot root, std::string_view path) const;

    RegistrarRegistry& inner_;
    std::vector<std::string> own_keys_;
};

}  // namespace corvo::module
