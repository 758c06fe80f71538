// The module's self-registration, step by step, over a registrar registry.
//
// Registration: the AppID script (101) with APPID; then for each class table
// row in order its registry update (script 102 for SSOLoginCtrl, nothing for
// the data classes) and its component categories (there are none); then the
// type library's keys (module/type_library_registration.h). Unregistration:
// each row's update in unregister mode, the type library's keys, then the
// AppID script. Both stop at the first failing step and return its HRESULT.
//
// On Windows both run with the thread locale set to the system default, so
// that locale-sensitive type-library registration behaves the same for every
// caller. Nothing here depends on a thread locale (the registrar compares
// names with ASCII folding, and the text is UTF-8), so that switch has no
// counterpart on POSIX.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/registrar.h"
#include "platform/registry_store.h"
#include "platform/type_library.h"

namespace corvo::module {

// The module's AppID, the registrar's %APPID%.
inline constexpr char kAppId[] = "{B88AEC8F-38BB-4c82-8172-9E0263A58920}";

// The keys below HKCU of one bitness's module ("Software\\Classes\\..."), when
// a user has both registered on 64-bit Windows. The class key and the
// interface keys are in each registry view apart (Windows 7 and later
// redirect them for 32-bit programs); the type library's key of the
// platform lies in the type library's key, which both views share. Every
// other key (ProgIDs, AppID, the library's version key and its values) is
// shared and the same for both modules.
struct ModuleViewKeys {
    std::string class_key;
    std::vector<std::string> interface_keys;
    std::string library_platform_key;  // ...\1.0\0\<platform>
};
ModuleViewKeys ViewKeysOfPlatform(std::string_view platform);

// `library`: see AddTypeLibraryReplacements (installers' rows give it).
HRESULT RegisterModule(std::string_view module_path, RegistrarRegistry& registry,
                       RegistrarError* error = nullptr,
                       const platform::TypeLibraryIdentity* library = nullptr);
HRESULT UnregisterModule(std::string_view module_path, RegistrarRegistry& registry,
                         RegistrarError* error = nullptr);

// Either of the above as one transaction over `store`: when a step fails,
// nothing is saved and the file stays as it was.
HRESULT UpdateModuleRegistration(const platform::RegistryStore& store, std::string_view module_path,
                                 RegistrarMode mode, std::string* message = nullptr);

}  // namespace corvo::module
