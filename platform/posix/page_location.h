// Where a hosted control learns the address and security zone of the page
// that hosts it, on platforms without a browser's object model.
//
// On Windows the control asks its site's IServiceProvider for the web browser
// (its location URL), falls back to the client site's container document (its
// URL), and maps the address to a zone with the Internet security manager. The
// same chain is kept here with two small interfaces of our own, which a host
// (the command-line host, a test) implements on its site object:
//
//   site --QueryInterface--> IServiceProvider
//        --QueryService(SID_SPageLocation)--> IPageLocation   (the "browser")
//   fallback: site --QueryInterface--> IPageLocation          (the "document")
//   IServiceProvider --QueryService(SID_SPageZoneMapper)--> IPageZoneMapper
//                                                              (the "security manager")
#pragma once

#include <cstdint>
#include <string>

#include "platform/com/com.h"

namespace corvo::platform {

// The page's current address, as a browser reports its location URL.
struct IPageLocation : IUnknown {
    // A new BSTR owned by the caller. Its whole recorded length is the address.
    virtual HRESULT GetLocationURL(BSTR* pbstrLocationURL) = 0;

  protected:
    ~IPageLocation() = default;
};

// Maps an address to its security zone (0 local machine, 1 intranet,
// 2 trusted, 3 internet, 4 restricted), as the security manager does.
struct IPageZoneMapper : IUnknown {
    virtual HRESULT MapUrlToZone(LPCOLESTR pwszUrl, DWORD* pdwZone, DWORD dwFlags) = 0;

  protected:
    ~IPageZoneMapper() = default;
};

inline constexpr IID IID_IPageLocation = MakeGuid("394932ED-1CEE-4BC9-8C33-2039189B170B");
inline constexpr IID IID_IPageZoneMapper = MakeGuid("B9C8DF96-D38E-41B0-9B37-55E70E9B3815");
// Service ids under which a site's IServiceProvider offers the two interfaces.
inline constexpr GUID SID_SPageLocation = MakeGuid("26916C70-9104-41EA-B28B-BBAA2108166E");
inline constexpr GUID SID_SPageZoneMapper = MakeGuid("65B6A9A7-7CC4-4DCE-A171-EC2ACF453D0C");

// The zone assumed before the page's zone is known (restricted).
inline constexpr int32_t kZoneUnknown = 4;

// Finds the address and zone of the page hosting a control whose site is
// `site`. Returns false (and leaves the outputs unspecified) when any step of
// the chain fails; a null site fails. The address keeps every code unit of the
// BSTR the host gave, embedded NULs included.
bool GetPageAddressAndZone(IUnknown* site, std::u16string* address, int32_t* zone);

}  // namespace corvo::platform
