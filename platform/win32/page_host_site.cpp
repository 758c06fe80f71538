#include "platform/page_host_site.h"

#include <exdisp.h>
#include <shlguid.h>
#include <urlmon.h>

#include <atomic>
#include <utility>

#include "platform/com/bstr_ptr.h"
#include "platform/win32/page_service_bases.h"

namespace corvo::platform {
namespace {

// Reference counting and IUnknown for the small objects below.
template <class Derived>
class Counted {
  public:
    ULONG AddRefImpl() { return ++refs_; }
    ULONG ReleaseImpl() {
        const ULONG refs = --refs_;
        if (refs == 0) delete static_cast<Derived*>(this);
        return refs;
    }

  private:
    std::atomic<ULONG> refs_{0};
};

// The browser that shows the page: only its address is known (get_LocationURL);
// everything else a browser does is not implemented. Its IDispatch has no
// type information: the control calls it through the vtable.
class CPageBrowser final : public AddressOnlyBrowser, private Counted<CPageBrowser> {
  public:
    explicit CPageBrowser(std::u16string address) : address_(std::move(address)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return QueryOneOf(static_cast<IWebBrowser2*>(this), riid, ppv,
                          {&IID_IUnknown, &IID_IDispatch, &IID_IWebBrowser, &IID_IWebBrowserApp,
                           &IID_IWebBrowser2});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override {
        if (!url) return E_POINTER;
        *url = nullptr;
        BstrPtr copy = BstrPtr::FromText(address_);
        if (!copy) return E_OUTOFMEMORY;
        *url = copy.Detach();
        return S_OK;
    }

  private:
    friend class Counted<CPageBrowser>;
    ~CPageBrowser() = default;

    std::u16string address_;
};

// A security manager that puts every address in one zone (--zone); the
// rest of what a security manager does is left to the system's default.
class CFixedZoneSecurityManager final : public ZoneOnlySecurityManager,
                                        private Counted<CFixedZoneSecurityManager> {
  public:
    explicit CFixedZoneSecurityManager(DWORD zone) : zone_(zone) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return QueryOneOf(static_cast<IInternetSecurityManager*>(this), riid, ppv,
                          {&IID_IUnknown, &IID_IInternetSecurityManager});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR, DWORD* zone, DWORD) override {
        if (!zone) return E_POINTER;
        *zone = zone_;
        return S_OK;
    }

  private:
    friend class Counted<CFixedZoneSecurityManager>;
    ~CFixedZoneSecurityManager() = default;

    DWORD zone_;
};

// The site: the services a browser's site offers a control.
class CPageHostSite final : public IServiceProvider, private Counted<CPageHostSite> {
  public:
    CPageHostSite(std::u16string address, int32_t zone)
        : browser_(new CPageBrowser(std::move(address))), zone_(zone) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return QueryOneOf(static_cast<IServiceProvider*>(this), riid, ppv,
                          {&IID_IUnknown, &IID_IServiceProvider});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (service == SID_SWebBrowserApp) return browser_->QueryInterface(riid, ppv);
        if (service == SID_SInternetSecurityManager) {
            ComPtr<IInternetSecurityManager> manager;
            if (zone_ >= 0) {
                manager = ComPtr<IInternetSecurityManager>(
                    new CFixedZoneSecurityManager(static_cast<DWORD>(zone_)));
            } else {
                IInternetSecurityManager* system = nullptr;
                const HRESULT hr = ::CoInternetCreateSecurityManager(nullptr, &system, 0);
                if (FAILED(hr)) return hr;
                manager = ComPtr<IInternetSecurityManager>::Adopt(system);
            }
            return manager->QueryInterface(riid, ppv);
        }
        return E_NOINTERFACE;
    }

  private:
    friend class Counted<CPageHostSite>;
    ~CPageHostSite() = default;

    ComPtr<CPageBrowser> browser_;
    int32_t zone_;
};

}  // namespace

ComPtr<IUnknown> CreatePageHostSite(std::u16string address, int32_t zone) {
    return ComPtr<IUnknown>(
        static_cast<IServiceProvider*>(new CPageHostSite(std::move(address), zone)));
}

}  // namespace corvo::platform
