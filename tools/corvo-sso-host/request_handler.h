// Serving one request: the sender is checked (the frame's origin, then the
// site lock for the top-level page and for the frame), then a new control,
// sited on the frame's address, is called by name through IDispatch. Nothing
// is kept between requests.
#pragma once

#include <string>

#include "tools/corvo-sso-host/host_request.h"

namespace corvo::host {

// The answer to `request` (ValueAnswer or ErrorAnswer text). Refusals of the
// sender are E_FAIL, before any method of the control runs; an unknown method
// is DISP_E_UNKNOWNNAME, a wrong argument count DISP_E_BADPARAMCOUNT, an
// argument of the wrong JSON type DISP_E_TYPEMISMATCH.
std::string HandleRequest(const HostRequest& request);

}  // namespace corvo::host
