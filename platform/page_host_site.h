// The site that a program hosting a control hands to it, playing the browser
// that shows a page: it answers the control's questions about the page's
// address and security zone the way this system's browsers do.
//
//   POSIX    the page-location services of platform/posix/page_location.h
//            (SID_SPageLocation, SID_SPageZoneMapper) on one object.
//   Windows  IServiceProvider answering SID_SWebBrowserApp with a small
//            IWebBrowser2 of its own whose get_LocationURL is the address,
//            and SID_SInternetSecurityManager with the system's Internet
//            security manager (CoInternetCreateSecurityManager), or with one
//            that maps every address to the given zone.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo::platform {

// A new site whose page is `address`. `zone` 0..4 is the page's security zone;
// below 0 the system decides: Windows asks its security manager, POSIX takes
// 0 (local machine) for a "file:" address and 3 (internet) for any other.
ComPtr<IUnknown> CreatePageHostSite(std::u16string address, int32_t zone);

}  // namespace corvo::platform
