// How the command-line host obtains a login control.
#pragma once

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo::cli {

// A new login control, as its IDispatch (the interface a page's script holds).
HRESULT CreateLoginControl(ComPtr<IDispatch>* control);

}  // namespace corvo::cli
