// Type-library registration on POSIX.
//
// Windows registers a type library (RegisterTypeLib) by writing its keys into
// the registry; there is no type library file here, because the interfaces are
// described to IDispatch by the static tables generated from the IDL. The keys
// are written all the same, derived from the same generated library
// description, so that a host reading the registry finds what it would find on
// Windows:
//
//   TypeLib\{LIBID}\<major>.<minor>      = the library's help string
//       FLAGS                            = "0"
//       HELPDIR                          = the module's directory, with its
//                                          trailing separator
//       0\win32                          = the module's path
//   Interface\{IID}                      = the interface name (each dual interface)
//       ProxyStubClsid, ProxyStubClsid32 = the automation marshaler's CLSID
//       TypeLib                          = {LIBID}, value Version = "<major>.<minor>"
//
// all below HKCU\Software\Classes. The keys are written by the registrar from
// a script built out of the description, so registration and unregistration
// follow the registrar's rules: unregistering removes exactly these keys
// (`TypeLib` and `Interface` themselves stay, as `NoRemove` keys).
#pragma once

#include <string>
#include <string_view>

#include "module/registrar.h"
#include "platform/com/dispatch_description.h"

namespace corvo::module {

// The automation marshaler (PSOAInterface), the proxy of dual interfaces.
inline constexpr char kAutomationMarshalerClsid[] = "{00020424-0000-0000-C000-000000000046}";

// The registrar script for `library`. It uses the replacement variables
// MODULE, HELPDIR and TYPELIB_HELP (see TypeLibraryReplacements).
std::string TypeLibraryScript(const com::LibraryDescription& library);

// Adds the variables the script needs (MODULE is expected to be set already).
HRESULT AddTypeLibraryReplacements(const com::LibraryDescription& library,
                                   std::string_view module_path, Registrar* registrar);

// Registers or unregisters `library` for the module at the registrar's MODULE.
HRESULT UpdateTypeLibraryRegistration(const com::LibraryDescription& library,
                                      const Registrar& registrar, RegistrarMode mode,
                                      RegistrarRegistry& registry, RegistrarError* error);

}  // namespace corvo::module
