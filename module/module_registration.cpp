#include "module/module_registration.h"

#include <memory>
#include <string>
#include <vector>

#include "corvo_sso_login_dispatch.h"
#include "module/ascii_case.h"
#include "module/class_table.h"
#include "module/own_view_registry.h"
#include "module/registrar_store_registry.h"
#include "module/registry_scripts.h"
#include "module/type_library_registration.h"
#include "platform/com/guid_text.h"
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

// The type library's version key, below which each platform's module has
// its own "0\<platform>" key.
std::string TypeLibraryVersionKey() {
    const com::LibraryDescription& library = idl::kCorvoSSOLoginLib;
    return "Software\\Classes\\TypeLib\\" + GuidToAscii(*library.libid) + "\\" +
           std::to_string(library.major_version) + "." + std::to_string(library.minor_version);
}

// The keys of this module's own registry view, when the other bitness's
// module stays registered: this platform's key of the type library, the
// interface keys and the control's class key, the class key only while it
// names this module (where one class key serves both views, as under Wine
// without a Wow6432Node key, it belongs to the module registered last).
// Null when no other platform's module is registered.
std::unique_ptr<OwnViewRegistry> OtherModuleKeepsShared(const Registrar& registrar,
                                                        RegistrarRegistry& registry) {
    const ReplacementMap& variables = registrar.replacements();
    const auto platform = variables.find("TYPELIB_PLATFORM");
    const auto module = variables.find("MODULE");
    if (platform == variables.end() || module == variables.end()) return nullptr;
    const std::string platforms = TypeLibraryVersionKey() + "\\0\\";
    bool other = false;
    for (const char* name : {"win16", "win32", "win64", "mac"})
        other = other || (platform->second != name &&
                          registry.KeyExists(RegistryRoot::kCurrentUser, platforms + name) == S_OK);
    if (!other) return nullptr;
    ModuleViewKeys keys = ViewKeysOfPlatform(platform->second);
    std::vector<std::string> own = std::move(keys.interface_keys);
    own.push_back(std::move(keys.library_platform_key));
    std::string server;
    (void)registry.GetStringValue(RegistryRoot::kCurrentUser, keys.class_key + "\\InprocServer32",
                                  "", &server);
    // Module paths compare as Windows compares file names here: ASCII letters
    // without case.
    if (server.empty() || EqualsIgnoreAsciiCase(server, module->second))
        own.push_back(keys.class_key);
    return std::make_unique<OwnViewRegistry>(registry, std::move(own));
}

}  // namespace

ModuleViewKeys ViewKeysOfPlatform(std::string_view platform) {
    ModuleViewKeys keys;
    keys.class_key = "Software\\Classes\\CLSID\\" + GuidToAscii(CLSID_SSOLoginCtrl);
    const com::LibraryDescription& library = idl::kCorvoSSOLoginLib;
    for (uint32_t i = 0; i < library.interface_count; ++i)
        keys.interface_keys.push_back("Software\\Classes\\Interface\\" +
                                      GuidToAscii(*library.interfaces[i]->iid));
    keys.library_platform_key = TypeLibraryVersionKey() + "\\0\\" + std::string(platform);
    return keys;
}

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
    if (FAILED(hr)) return hr;
    // While the other bitness's module is registered, the shared keys are its.
    const std::unique_ptr<OwnViewRegistry> own = OtherModuleKeepsShared(registrar, registry);
    RegistrarRegistry& target = own ? *own : registry;
    hr = UpdateClasses(registrar, RegistrarMode::kUnregister, target, error);
    if (SUCCEEDED(hr))
        hr = UpdateTypeLibraryRegistration(idl::kCorvoSSOLoginLib, registrar,
                                           RegistrarMode::kUnregister, target, error);
    if (SUCCEEDED(hr))
        hr = registrar.RunScript(kAppIdScriptId, RegistrarMode::kUnregister, target, error);
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
