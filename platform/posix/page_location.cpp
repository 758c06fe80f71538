#include "platform/posix/page_location.h"

#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"

namespace corvo::platform {

namespace {

// The "browser": the service provider's page location.
bool AddressFromBrowser(IServiceProvider* provider, ComPtr<IPageLocation>* browser) {
    return SUCCEEDED(
               provider->QueryService(SID_SPageLocation, IID_IPageLocation, browser->OutVoid())) &&
           *browser;
}

bool ReadLocation(IPageLocation* location, std::u16string* address) {
    BstrPtr url;
    if (FAILED(location->GetLocationURL(url.Out()))) return false;
    address->assign(url.View());
    return true;
}

}  // namespace

bool GetPageAddressAndZone(IUnknown* site, std::u16string* address, int32_t* zone) {
    *zone = kZoneUnknown;
    if (!site) return false;
    ComPtr<IServiceProvider> provider;
    if (FAILED(site->QueryInterface(IID_IServiceProvider, provider.OutVoid())) || !provider)
        return false;

    ComPtr<IPageLocation> browser;
    if (AddressFromBrowser(provider.Get(), &browser)) {
        if (!ReadLocation(browser.Get(), address)) return false;
    } else {
        // No browser: the site's own document gives the address, and the
        // service provider is looked up again for the zone.
        ComPtr<IPageLocation> document;
        if (FAILED(site->QueryInterface(IID_IPageLocation, document.OutVoid())) || !document)
            return false;
        if (!ReadLocation(document.Get(), address)) return false;
        if (FAILED(site->QueryInterface(IID_IServiceProvider, provider.OutVoid())) || !provider)
            return false;
    }

    ComPtr<IPageZoneMapper> mapper;
    if (FAILED(
            provider->QueryService(SID_SPageZoneMapper, IID_IPageZoneMapper, mapper.OutVoid())) ||
        !mapper)
        return false;
    // The mapper reads a NUL-terminated address, as MapUrlToZone does.
    DWORD mapped = static_cast<DWORD>(kZoneUnknown);
    if (FAILED(mapper->MapUrlToZone(address->c_str(), &mapped, 0))) return false;
    *zone = static_cast<int32_t>(mapped);
    return true;
}

}  // namespace corvo::platform
