// The site that the command-line host hands to the control: it plays the
// browser that shows a page, answering the control's questions about the
// page's address and security zone (see platform/posix/page_location.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo::cli {

// The zone a browser would give the address: 0 (local machine) for a
// "file:" address, 3 (internet) for anything else.
int32_t DefaultZoneFor(std::u16string_view address);

// The page the host shows unless told otherwise: https on the first plain
// login host of the control's allowed-site table ("https://localhost/" when
// the control has no table).
std::u16string DefaultPageAddress(IUnknown* control);

// A new site whose page is `address` in `zone`.
ComPtr<IUnknown> CreateHostSite(std::u16string address, int32_t zone);

}  // namespace corvo::cli
