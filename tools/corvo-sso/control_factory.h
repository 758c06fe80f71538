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
// the CLSID's InprocServer32 the module, which `module` loads; its class
// object creates the control. `module` must outlive the control. On failure
// `message` receives what went wrong in words (REGDB_E_CLASSNOTREG when the
// control is not registered).
HRESULT CreateLoginControl(InprocModule* module, ComPtr<IDispatch>* control, std::string* message);

}  // namespace corvo::cli
