#include "tools/corvo-sso/control_factory.h"

#include "control/sso_login_ctrl.h"

namespace corvo::cli {

// The control is linked in and created through its creation function, as the
// module's class object does.
HRESULT CreateLoginControl(ComPtr<IDispatch>* control) {
    return CSSOLoginCtrl::CreateInstance(nullptr, IID_IDispatch, control->OutVoid());
}

}  // namespace corvo::cli
