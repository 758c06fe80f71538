// Type-library registration: the keys that RegisterTypeLibForUser writes,
// written by the registrar below HKCU\Software\Classes on every system, so
// that registration is per user without administrator rights wherever it
// runs (docs/registration.md says why the system's own registration is not
// used on Windows):
//
//   TypeLib\{LIBID}\<major>.<minor>      = the library's help string
//       FLAGS                            = the library's flags, in decimal
//       HELPDIR                          = the module's directory, with its
//                                          trailing separator
//       0\<platform>                     = the module's path
//   Interface\{IID}                      = the interface name (each dual interface
//                                          and dispinterface)
//       ProxyStubClsid, ProxyStubClsid32 = the automation marshaler's CLSID (dual),
//                                          the IDispatch proxy's (dispinterface)
//       TypeLib                          = {LIBID}, value Version = "<major>.<minor>"
//
// On Windows the module's own type library (its resource, or the ".tlb" file
// beside it) is loaded first: it must be the library the IDL describes, and
// it gives the platform ("win32", "win64") and the flags. POSIX has no type
// library file (IDispatch is served from the static tables generated from
// the IDL): there the platform is "win32" and the flags 0. Unregistering
// removes exactly these keys (`TypeLib` and `Interface` themselves stay, as
// `NoRemove` keys).
#pragma once

#include <string>
#include <string_view>

#include "module/registrar.h"
#include "platform/com/dispatch_description.h"
#include "platform/type_library.h"

namespace corvo::module {

// The automation marshaler (PSOAInterface), the proxy of dual interfaces.
inline constexpr char kAutomationMarshalerClsid[] = "{00020424-0000-0000-C000-000000000046}";
// The IDispatch proxy (PSDispatch), the proxy of dispinterfaces.
inline constexpr char kDispatchProxyClsid[] = "{00020420-0000-0000-C000-000000000046}";

// The registrar script for `library`. It uses the replacement variables
// MODULE, HELPDIR, TYPELIB_HELP, TYPELIB_PLATFORM and TYPELIB_FLAGS (see
// AddTypeLibraryReplacements).
std::string TypeLibraryScript(const com::LibraryDescription& library);

// Adds the variables the script needs (MODULE is expected to be set already).
// `loaded`, when given, is the identity of the library as the target system
// loads it (its platform and flags), for rows written for a module that is
// not loaded here (an installer's); otherwise the module's own library
// decides, or on POSIX "win32" and 0.
HRESULT AddTypeLibraryReplacements(const com::LibraryDescription& library,
                                   std::string_view module_path, Registrar* registrar,
                                   const platform::TypeLibraryIdentity* loaded = nullptr);

// Registers or unregisters `library` for the module at the registrar's MODULE.
HRESULT UpdateTypeLibraryRegistration(const com::LibraryDescription& library,
                                      const Registrar& registrar, RegistrarMode mode,
                                      RegistrarRegistry& registry, RegistrarError* error);

}  // namespace corvo::module
