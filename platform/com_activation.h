// Creating an object of a registered class through the system's COM runtime,
// as a browser creates a control: the ProgID's CLSID (CLSIDFromProgID), then
// CoCreateInstance in process. POSIX has no COM runtime: the answer is
// REGDB_E_CLASSNOTREG, and a host follows the registration itself
// (tools/corvo-sso/inproc_server_lookup.h).
#pragma once

#include <string_view>

#include "platform/com/com.h"

namespace corvo::platform {

HRESULT CreateRegisteredInProcess(std::u16string_view progId, REFIID riid, void** object);

}  // namespace corvo::platform
