// The page the command-line host shows the control on; the site itself is
// the system's browser stand-in (platform/page_host_site.h).
#pragma once

#include <string>

#include "platform/com/com.h"

namespace corvo::cli {

// The page the host shows unless told otherwise: https on the first plain
// login host of the control's allowed-site table ("https://localhost/" when
// the control has no table).
std::u16string DefaultPageAddress(IUnknown* control);

}  // namespace corvo::cli
