#include "platform/page_host_site.h"

#include <exdisp.h>
#include <shlguid.h>
#include <urlmon.h>

#include <atomic>
#include <initializer_list>
#include <utility>

#include "platform/com/bstr_ptr.h"

namespace corvo::platform {
namespace {

// Reference counting and IUnknown for the small objects below.
template <class Derived>
class Counted {
  public:
    // QueryInterface of an object whose interfaces are all `self`.
    template <class Interface>
    static HRESULT Answer(Interface* self, REFIID riid, void** ppv,
                          std::initializer_list<const IID*> iids) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        for (const IID* iid : iids) {
            if (riid == *iid) {
                self->AddRef();
                *ppv = self;
                return S_OK;
            }
        }
        return E_NOINTERFACE;
    }
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
class CPageBrowser final : public IWebBrowser2, private Counted<CPageBrowser> {
  public:
    explicit CPageBrowser(std::u16string address) : address_(std::move(address)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Answer(static_cast<IWebBrowser2*>(this), riid, ppv,
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

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GoBack() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoForward() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoHome() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GoSearch() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Refresh() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Refresh2(VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Container(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Document(IDispatch**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Type(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Left(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Left(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Top(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Top(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Width(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Width(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Height(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Height(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_LocationName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Quit() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ClientToWindow(int*, int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullName(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Path(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_StatusText(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_StatusText(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ToolBar(int*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ToolBar(int) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_MenuBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_MenuBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_FullScreen(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_FullScreen(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Navigate2(VARIANT*, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE QueryStatusWB(OLECMDID, OLECMDF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ExecWB(OLECMDID, OLECMDEXECOPT, VARIANT*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE ShowBrowserBar(VARIANT*, VARIANT*, VARIANT*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE get_ReadyState(READYSTATE*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Offline(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Offline(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Silent(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Silent(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsBrowser(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsBrowser(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_RegisterAsDropTarget(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RegisterAsDropTarget(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TheaterMode(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TheaterMode(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_AddressBar(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_AddressBar(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }

  private:
    friend class Counted<CPageBrowser>;
    ~CPageBrowser() = default;

    std::u16string address_;
};

// A security manager that puts every address in one zone (--zone); the
// rest of what a security manager does is left to the system's default.
class CFixedZoneSecurityManager final : public IInternetSecurityManager,
                                        private Counted<CFixedZoneSecurityManager> {
  public:
    explicit CFixedZoneSecurityManager(DWORD zone) : zone_(zone) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return Answer(static_cast<IInternetSecurityManager*>(this), riid, ppv,
                      {&IID_IUnknown, &IID_IInternetSecurityManager});
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
    ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

    HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR, DWORD* zone, DWORD) override {
        if (!zone) return E_POINTER;
        *zone = zone_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSecuritySite(IInternetSecurityMgrSite*) override {
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE GetSecuritySite(IInternetSecurityMgrSite** site) override {
        if (site) *site = nullptr;
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE GetSecurityId(LPCWSTR, BYTE*, DWORD*, DWORD_PTR) override {
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE ProcessUrlAction(LPCWSTR, DWORD, BYTE*, DWORD, BYTE*, DWORD, DWORD,
                                               DWORD) override {
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE QueryCustomPolicy(LPCWSTR, REFGUID, BYTE**, DWORD*, BYTE*, DWORD,
                                                DWORD) override {
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE SetZoneMapping(DWORD, LPCWSTR, DWORD) override {
        return INET_E_DEFAULT_ACTION;
    }
    HRESULT STDMETHODCALLTYPE GetZoneMappings(DWORD, IEnumString** mappings, DWORD) override {
        if (mappings) *mappings = nullptr;
        return INET_E_DEFAULT_ACTION;
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
        return Answer(static_cast<IServiceProvider*>(this), riid, ppv,
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
