// RegistryStore: the current user's registry, HKEY_CURRENT_USER itself, as
// the module's registration and the tools change and read it.
//
// The store's "path" is the key of HKEY_CURRENT_USER that stands in for the
// hive: "" (the default) for the hive itself, another key for a test that
// must not touch the user's classes. The registry has no transactions:
// Update() runs the change on the live registry, and a change that fails
// half-way leaves what it did (registration never rolls back either).
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/com/com.h"
#include "platform/win32/registry_tree.h"

namespace corvo::platform {

class RegistryStore {
  public:
    using Change = std::function<HRESULT(RegistryTree&)>;
    using Lookup = std::function<HRESULT(const RegistryTree&)>;

    explicit RegistryStore(std::string path) : path_(std::move(path)) {}
    // HKEY_CURRENT_USER itself.
    RegistryStore() = default;

    // How the user's registry is named in messages.
    static std::string DefaultPath() { return "HKEY_CURRENT_USER"; }

    // The machine's classes need no store of ours here: the system's COM
    // runtime reads them below the user's, and installers write them.
    static std::optional<RegistryStore> Machine() { return std::nullopt; }
    static std::string MachinePath() { return "HKEY_LOCAL_MACHINE"; }

    const std::string& path() const { return path_; }

    // Runs `change` on the registry; returns its result. `message` is not
    // used: every failure is the change's own.
    HRESULT Update(const Change& change, std::string* message = nullptr) const;
    // Runs `lookup` on the registry; returns its result.
    HRESULT Read(const Lookup& lookup, std::string* message = nullptr) const;
    // Only the POSIX machine registry needs this (see Machine()).
    HRESULT UpdateAsUserRegistry(const std::function<HRESULT()>&, std::string* = nullptr) const {
        return E_NOTIMPL;
    }

  private:
    std::string path_;
};

}  // namespace corvo::platform
