#include "module/module_registration.h"

#include "corvo_sso_login_dispatch.h"
#include "module/class_table.h"
#include "module/registrar_store_registry.h"
#include "module/registry_scripts.h"
#include "module/type_library_registration.h"
#include "platform/thread_locale.h"

namespace corvo::module {
namespace {

// The registrar with MODULE, APPID and the type library's variables.
HRESULT PrepareRegistrar(std::string_view module_path, Registrar* registrar,
                         const platform::TypeLibraryIdentity* library = nullptr) {
    HRESULT hr = registrar->AddReplacement("MODULE", module_path);
    if (SUCCEEDED(hr)) hr = registrar->AddReplacement("APPID", kAppId);
    if (SUCCEEDED(hr))
        hr = AddTypeLibraryReplacements(idl::kCorvoSSOLoginLib, module_path, registrar, library);
    return hr;
}

// One class table row's registry update; the rows register no component
// categories, so there is nothing to do for them.
HRESULT UpdateClassRegistration(const ClassTableRow& row, const Registrar& registrar,
                                RegistrarMode mode, RegistrarRegistry& registry,
                                RegistrarError* error) {
    if (row.registry_script == 0) return S_OK;
    return registrar.RunScript(row.registry_script, mode, registry, error);
}

HRESULT UpdateClasses(const Registrar& registrar, RegistrarMode mode, RegistrarRegistry& registry,
                      RegistrarError* error) {
    for (const ClassTableRow& row : ClassTable()) {
        const HRESULT hr = UpdateClassRegistration(row, registrar, mode, registry, error);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT RegisterModule(std::string_view module_path, RegistrarRegistry& registry,
                       RegistrarError* error, const platform::TypeLibraryIdentity* library) {
    const platform::ScopedSystemThreadLocale locale;
    Registrar registrar;
    HRESULT hr = PrepareRegistrar(module_path, &registrar, library);
    if (SUCCEEDED(hr))
        hr = registrar.RunScript(kAppIdScriptId, RegistrarMode::kRegister, registry, error);
    if (SUCCEEDED(hr)) hr = UpdateClasses(registrar, RegistrarMode::kRegister, registry, error);
    if (SUCCEEDED(hr))
        hr = UpdateTypeLibraryRegistration(idl::kCorvoSSOLoginLib, registrar,
                                           RegistrarMode::kRegister, registry, error);
    return hr;
}

HRESULT UnregisterModule(std::string_view module_path, RegistrarRegistry& registry,
                         RegistrarError* error) {
    const platform::ScopedSystemThreadLocale locale;
    Registrar registrar;
    HRESULT hr = PrepareRegistrar(module_path, &registrar);
    if (SUCCEEDED(hr)) hr = UpdateClasses(registrar, RegistrarMode::kUnregister, registry, error);
    if (SUCCEEDED(hr))
        hr = UpdateTypeLibraryRegistration(idl::kCorvoSSOLoginLib, registrar,
                                           RegistrarMode::kUnregister, registry, error);
    if (SUCCEEDED(hr))
        hr = registrar.RunScript(kAppIdScriptId, RegistrarMode::kUnregister, registry, error);
    return hr;
}

HRESULT UpdateModuleRegistration(const platform::RegistryStore& store, std::string_view module_path,
                                 RegistrarMode mode, std::string* message) {
    return UpdateStoreThroughRegistrar(
        store,
        [&](RegistrarRegistry& registry) {
            RegistrarError error;
            const HRESULT hr = mode == RegistrarMode::kRegister
                                   ? RegisterModule(module_path, registry, &error)
                                   : UnregisterModule(module_path, registry, &error);
            if (FAILED(hr) && message) *message = error.ToString();
            return hr;
        },
        message);
}

}  // namespace corvo::module
