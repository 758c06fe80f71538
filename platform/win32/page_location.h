// Where a hosted control learns the address and security zone of the page
// that hosts it, from the browser's own object model:
//
//   site --QueryInterface--> IServiceProvider
//        --QueryService(SID_SWebBrowserApp, IID_IWebBrowser2)--> get_LocationURL
//   fallback: site --QueryInterface--> IOleClientSite --GetContainer-->
//        --QueryInterface--> IHTMLDocument2 --> get_URL
//   IServiceProvider --QueryService(SID_SInternetSecurityManager,
//        IID_IInternetSecurityManager)--> MapUrlToZone(address, &zone, 0)
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/com.h"

namespace corvo::platform {

// The zone assumed before the page's zone is known (restricted).
inline constexpr int32_t kZoneUnknown = 4;

// Finds the address and zone of the page hosting a control whose site is
// `site`. Returns false (and leaves the outputs unspecified) when any step of
// the chain fails; a null site fails. The address keeps every code unit of the
// BSTR the browser gave, embedded NULs included.
bool GetPageAddressAndZone(IUnknown* site, std::u16string* address, int32_t* zone);

}  // namespace corvo::platform
