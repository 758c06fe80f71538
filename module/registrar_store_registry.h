// RegistrarStoreRegistry: the registrar's view of the current user's registry
// tree of RegistryStore (the per-user file on POSIX, the registry itself on
// Windows).
//
// The tree is HKEY_CURRENT_USER. HKCU paths map to it directly; HKCR paths
// map to HKCU\Software\Classes (per-user registration, which needs no
// administrator rights); HKLM is refused with
// HResultFromWin32(ERROR_ACCESS_DENIED): registration is per user only.
#pragma once

#include <functional>
#include <string>

#include "module/registrar_registry.h"
#include "platform/registry_store.h"

namespace corvo::module {

class RegistrarStoreRegistry final : public RegistrarRegistry {
  public:
    explicit RegistrarStoreRegistry(platform::RegistryTree& tree) : tree_(tree) {}

    HRESULT KeyExists(RegistryRoot root, std::string_view path) override;
    HRESULT GetStringValue(RegistryRoot root, std::string_view path, std::string_view name,
                           std::string* data) override;
    HRESULT CreateKey(RegistryRoot root, std::string_view path) override;
    HRESULT SetStringValue(RegistryRoot root, std::string_view path, std::string_view name,
                           std::string_view data) override;
    HRESULT DeleteValue(RegistryRoot root, std::string_view path, std::string_view name) override;
    HRESULT DeleteTree(RegistryRoot root, std::string_view path) override;
    HRESULT DeleteKeyIfEmpty(RegistryRoot root, std::string_view path) override;

  private:
    // The path of `root`\`path` within the tree; false for HKLM.
    static bool TreePath(RegistryRoot root, std::string_view path, std::string* out);
    // Runs `operation` with the tree path of `root`\`path`.
    template <typename Operation>
    static HRESULT OnTree(RegistryRoot root, std::string_view path, Operation operation) {
        std::string full;
        if (!TreePath(root, path, &full)) return HResultFromWin32(ERROR_ACCESS_DENIED);
        return operation(full);
    }

    platform::RegistryTree& tree_;
};

// One transaction over `store`: runs `action` on the stored tree and saves the
// tree only when `action` succeeds. Returns the action's result or the
// store's failure (described in `message`, when given).
HRESULT UpdateStoreThroughRegistrar(const platform::RegistryStore& store,
                                    const std::function<HRESULT(RegistrarRegistry&)>& action,
                                    std::string* message = nullptr);

}  // namespace corvo::module
