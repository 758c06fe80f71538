// The four entry points of the CorvoSSOLogin module, exported with C linkage
// (module/CorvoSSOLogin.map exports these and nothing else). A host loads the
// module and finds them by name; the function types below are what it casts
// the looked-up addresses to.
#pragma once

#include "platform/com/com.h"

extern "C" {
// The class object of `rclsid`, queried for `riid`.
HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
// S_OK when no object, class object reference or server lock keeps the module.
HRESULT DllCanUnloadNow();
// Per-user registration (and its removal) in the current user's registry.
HRESULT DllRegisterServer();
HRESULT DllUnregisterServer();
}

namespace corvo::module {

using DllGetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();
using DllUnregisterServerFunction = HRESULT (*)();

// The exported names, in the order above.
inline constexpr const char* kExportNames[] = {"DllGetClassObject", "DllCanUnloadNow",
                                               "DllRegisterServer", "DllUnregisterServer"};

// The module's file name, and its ProgIDs.
inline constexpr char kModuleFileName[] = "libCorvoSSOLogin.so";
inline constexpr char kSSOLoginCtrlProgId[] = "CorvoSSOLoginM.SSOLoginCtrl";

}  // namespace corvo::module
