// How the command-line host obtains a login control: as a COM host does, from
// the module registered in the current user's registry.
#pragma once

#include <string>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"
#include "tools/corvo-sso/inproc_module.h"

namespace corvo::cli {

// A new login control, as its IDispatch (the interface a page's script holds):
// the ProgID "CorvoSSOLoginM.SSOLoginCtrl" (following CurVer) gives the CLSID,
// the CLSID's InprocServer32 the module; its class object creates the
// control. Where the system has a COM runtime that sees the registration
// (Windows) that is CoCreateInstance, and the runtime keeps the module loaded;
// otherwise the current user's registration is read here and `module` loads
// the module, so `module` must outlive the control. On failure `message`
// receives what went wrong in words (REGDB_E_CLASSNOTREG when the control is
// not registered).
HRESULT CreateLoginControl(InprocModule* module, ComPtr<IDispatch>* control, std::string* message);

}  // namespace corvo::cli
