// The four entry points of the CorvoSSOLogin module, exported with C linkage
// (module/CorvoSSOLogin.map exports these and nothing else; on Windows
// module/CorvoSSOLogin.def). A host loads the
// module and finds them by name; the function types below are what it casts
// the looked-up addresses to.
#pragma once

#include "platform/com/com.h"
#include "platform/module_file.h"

extern "C" {
// The class object of `rclsid`, queried for `riid`.
HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
// S_OK when no object, class object reference or server lock keeps the module.
HRESULT STDAPICALLTYPE DllCanUnloadNow();
// Per-user registration (and its removal) in the current user's registry.
HRESULT STDAPICALLTYPE DllRegisterServer();
HRESULT STDAPICALLTYPE DllUnregisterServer();
}

namespace corvo::module {

using DllGetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using DllCanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();
using DllRegisterServerFunction = HRESULT(STDAPICALLTYPE*)();
using DllUnregisterServerFunction = HRESULT(STDAPICALLTYPE*)();

// The exported names, in the order above.
inline constexpr const char* kExportNames[] = {"DllGetClassObject", "DllCanUnloadNow",
                                               "DllRegisterServer", "DllUnregisterServer"};

// The module's file name, and its ProgIDs.
inline constexpr char kModuleFileName[] = CORVO_MODULE_FILE_NAME("CorvoSSOLogin");
inline constexpr char kSSOLoginCtrlProgId[] = "CorvoSSOLoginM.SSOLoginCtrl";

}  // namespace corvo::module
