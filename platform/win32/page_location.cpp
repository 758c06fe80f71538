#include "platform/page_location.h"

#include <exdisp.h>
#include <mshtml.h>
#include <urlmon.h>

#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/com/make_guid.h"

namespace corvo::platform {
namespace {

// The service ids, spelled out: the browser answers SID_SWebBrowserApp (the
// IWebBrowserApp IID) and the security manager under its own IID.
constexpr GUID kSidWebBrowserApp = MakeGuid("0002DF05-0000-0000-C000-000000000046");
constexpr GUID kSidInternetSecurityManager = MakeGuid("79EAC9EE-BAF9-11CE-8C82-00AA004BA90B");

bool AddressFromBrowser(IServiceProvider* provider, std::u16string* address, bool* found) {
    ComPtr<IWebBrowser2> browser;
    *found =
        SUCCEEDED(provider->QueryService(kSidWebBrowserApp, IID_IWebBrowser2, browser.OutVoid())) &&
        browser;
    if (!*found) return false;
    BstrPtr url;
    if (FAILED(browser->get_LocationURL(url.Out()))) return false;
    address->assign(url.View());
    return true;
}

bool AddressFromDocument(IUnknown* site, std::u16string* address) {
    ComPtr<IOleClientSite> clientSite;
    if (FAILED(site->QueryInterface(IID_IOleClientSite, clientSite.OutVoid())) || !clientSite)
        return false;
    ComPtr<IOleContainer> container;
    if (FAILED(clientSite->GetContainer(container.Out())) || !container) return false;
    ComPtr<IHTMLDocument2> document;
    if (FAILED(container->QueryInterface(IID_IHTMLDocument2, document.OutVoid())) || !document)
        return false;
    BstrPtr url;
    if (FAILED(document->get_URL(url.Out()))) return false;
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

    bool hasBrowser = false;
    if (!AddressFromBrowser(provider.Get(), address, &hasBrowser)) {
        if (hasBrowser) return false;  // a browser whose location cannot be read
        // No browser: the client site's document gives the address, and the
        // service provider is looked up again for the zone.
        if (!AddressFromDocument(site, address)) return false;
        if (FAILED(site->QueryInterface(IID_IServiceProvider, provider.OutVoid())) || !provider)
            return false;
    }

    ComPtr<IInternetSecurityManager> manager;
    if (FAILED(provider->QueryService(kSidInternetSecurityManager, IID_IInternetSecurityManager,
                                      manager.OutVoid())) ||
        !manager)
        return false;
    // MapUrlToZone reads a NUL-terminated address.
    DWORD mapped = static_cast<DWORD>(kZoneUnknown);
    if (FAILED(manager->MapUrlToZone(AsOleText(address->c_str()), &mapped, 0))) return false;
    *zone = static_cast<int32_t>(mapped);
    return true;
}

}  // namespace corvo::platform
