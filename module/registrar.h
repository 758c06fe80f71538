// Registrar: runs registration scripts (see registrar_script.h) in register or
// unregister mode over a RegistrarRegistry.
//
// A script is parsed completely before the registry is touched, so a
// malformed script changes nothing. Execution stops at the first failing
// registry operation and returns its HRESULT; to leave nothing half-applied,
// run the registrar inside a transaction (RegistryStore::Update does not save
// when the registrar fails).
//
// Register mode, for each key in script order:
//   Delete       the key is deleted with its subtree; its block is not processed;
//   ForceRemove  the key is deleted with its subtree, then created as below;
//   otherwise    the key is created (or opened); its default value and its
//                values are set, then its subkeys are processed.
// Unregister mode removes what register mode wrote and nothing else:
//   Delete       nothing;
//   ForceRemove  the key is deleted with its subtree;
//   NoRemove     the key stays (with its default value); its subkeys are
//                processed and the values named in its block are deleted;
//   otherwise    its subkeys are processed, the values the script sets on it
//                (default value included) are deleted, and the key itself is
//                deleted when nothing is left in it (keys or values that other
//                software added keep it, and them, in place).
// A key that does not exist is skipped, so unregistering twice succeeds.
#pragma once

#include <string_view>

#include "module/registrar_registry.h"
#include "module/registrar_script.h"

namespace corvo::module {

enum class RegistrarMode { kRegister, kUnregister };

// Runs a parsed script. On failure `error` (when given) names the key or value
// that failed and where it is in the script.
HRESULT ExecuteRegistrarScript(const RegistrarScript& script, RegistrarMode mode,
                               RegistrarRegistry& registry, RegistrarError* error);

class Registrar {
  public:
    // Defines %name%. E_INVALIDARG for an empty name or one holding '%' or
    // white space; a name defined again gets the new value.
    HRESULT AddReplacement(std::string_view name, std::string_view value);
    void ClearReplacements() { replacements_.clear(); }
    const ReplacementMap& replacements() const { return replacements_; }

    // Parses `script` with the replacements and runs it.
    HRESULT Run(std::string_view script, RegistrarMode mode, RegistrarRegistry& registry,
                RegistrarError* error = nullptr) const;
    // Runs the module's registry script `id` (see registry_scripts.h);
    // HResultFromWin32(ERROR_RESOURCE_NAME_NOT_FOUND) for an unknown id.
    HRESULT RunScript(int id, RegistrarMode mode, RegistrarRegistry& registry,
                      RegistrarError* error = nullptr) const;

  private:
    ReplacementMap replacements_;
};

}  // namespace corvo::module
