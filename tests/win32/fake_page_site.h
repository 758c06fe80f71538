// A site for GetPageAddressAndZone on Windows, playing a PageChain
// (tests/common/page_chain_cases.h) with the browser's own interfaces: the
// browser (IWebBrowser2), the client site's container document
// (IOleClientSite, IOleContainer, IHTMLDocument2) and the security manager
// (IInternetSecurityManager). Each object counts the references it holds.
#pragma once

#include <exdisp.h>
#include <mshtml.h>
#include <shlguid.h>
#include <urlmon.h>

#include <memory>
#include <string>
#include <utility>

#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/win32/page_service_bases.h"
#include "tests/common/page_chain_cases.h"

namespace corvo::test {

// The chain being played, and how often an address was read from it.
struct PageState {
    PageChain chain;
    int address_reads = 0;

    HRESULT ReadAddress(BSTR* url) {
        ++address_reads;
        *url = nullptr;
        if (chain.location_fails) return E_FAIL;
        *url = BstrPtr::FromText(chain.address).Detach();
        return *url ? S_OK : E_OUTOFMEMORY;
    }
};

// The reference count of a fake object implementing `Interfaces`; the object
// answers QueryInterface itself.
template <class... Interfaces>
class Fake : public Interfaces... {
  public:
    ULONG refs = 1;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG r = --refs;
        if (r == 0) delete this;
        return r;
    }

  protected:
    virtual ~Fake() = default;
};

class FakeBrowser final : public Fake<platform::AddressOnlyBrowser> {
  public:
    explicit FakeBrowser(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return platform::QueryOneOf(this, riid, ppv,
                                    {&IID_IUnknown, &IID_IDispatch, &IID_IWebBrowser,
                                     &IID_IWebBrowserApp, &IID_IWebBrowser2});
    }
    HRESULT STDMETHODCALLTYPE get_LocationURL(BSTR* url) override {
        return state_->ReadAddress(url);
    }

  private:
    std::shared_ptr<PageState> state_;
};

// Methods of the document that GetPageAddressAndZone never calls.
#define CORVO_ABSENT(name, params)                   \
    HRESULT STDMETHODCALLTYPE name params override { \
        return E_NOTIMPL;                            \
    }
#define CORVO_ABSENT_PROPERTY(name, type) \
    CORVO_ABSENT(put_##name, (type))      \
    CORVO_ABSENT(get_##name, (type*))

// The client site's container, which is the page's document: only its URL
// is known.
class FakeDocument final
    : public Fake<platform::NoTypeInfoDispatch<IHTMLDocument2>, IOleContainer> {
  public:
    explicit FakeDocument(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IParseDisplayName || riid == IID_IOleContainer)
            return platform::QueryOneOf(static_cast<IOleContainer*>(this), riid, ppv, {&riid});
        return platform::QueryOneOf(
            static_cast<IHTMLDocument2*>(this), riid, ppv,
            {&IID_IUnknown, &IID_IDispatch, &IID_IHTMLDocument, &IID_IHTMLDocument2});
    }
    HRESULT STDMETHODCALLTYPE get_URL(BSTR* url) override { return state_->ReadAddress(url); }

    CORVO_ABSENT(ParseDisplayName, (IBindCtx*, LPOLESTR, ULONG*, IMoniker**))
    CORVO_ABSENT(EnumObjects, (DWORD, IEnumUnknown**))
    CORVO_ABSENT(LockContainer, (BOOL))
    CORVO_ABSENT(get_Script, (IDispatch**))
    CORVO_ABSENT(get_all, (IHTMLElementCollection**))
    CORVO_ABSENT(get_body, (IHTMLElement**))
    CORVO_ABSENT(get_activeElement, (IHTMLElement**))
    CORVO_ABSENT(get_images, (IHTMLElementCollection**))
    CORVO_ABSENT(get_applets, (IHTMLElementCollection**))
    CORVO_ABSENT(get_links, (IHTMLElementCollection**))
    CORVO_ABSENT(get_forms, (IHTMLElementCollection**))
    CORVO_ABSENT(get_anchors, (IHTMLElementCollection**))
    CORVO_ABSENT_PROPERTY(title, BSTR)
    CORVO_ABSENT(get_scripts, (IHTMLElementCollection**))
    CORVO_ABSENT_PROPERTY(designMode, BSTR)
    CORVO_ABSENT(get_selection, (IHTMLSelectionObject**))
    CORVO_ABSENT(get_readyState, (BSTR*))
    CORVO_ABSENT(get_frames, (IHTMLFramesCollection2**))
    CORVO_ABSENT(get_embeds, (IHTMLElementCollection**))
    CORVO_ABSENT(get_plugins, (IHTMLElementCollection**))
    CORVO_ABSENT_PROPERTY(alinkColor, VARIANT)
    CORVO_ABSENT_PROPERTY(bgColor, VARIANT)
    CORVO_ABSENT_PROPERTY(fgColor, VARIANT)
    CORVO_ABSENT_PROPERTY(linkColor, VARIANT)
    CORVO_ABSENT_PROPERTY(vlinkColor, VARIANT)
    CORVO_ABSENT(get_referrer, (BSTR*))
    CORVO_ABSENT(get_location, (IHTMLLocation**))
    CORVO_ABSENT(get_lastModified, (BSTR*))
    CORVO_ABSENT(put_URL, (BSTR))
    CORVO_ABSENT_PROPERTY(domain, BSTR)
    CORVO_ABSENT_PROPERTY(cookie, BSTR)
    CORVO_ABSENT_PROPERTY(expando, VARIANT_BOOL)
    CORVO_ABSENT_PROPERTY(charset, BSTR)
    CORVO_ABSENT_PROPERTY(defaultCharset, BSTR)
    CORVO_ABSENT(get_mimeType, (BSTR*))
    CORVO_ABSENT(get_fileSize, (BSTR*))
    CORVO_ABSENT(get_fileCreatedDate, (BSTR*))
    CORVO_ABSENT(get_fileModifiedDate, (BSTR*))
    CORVO_ABSENT(get_fileUpdatedDate, (BSTR*))
    CORVO_ABSENT(get_security, (BSTR*))
    CORVO_ABSENT(get_protocol, (BSTR*))
    CORVO_ABSENT(get_nameProp, (BSTR*))
    CORVO_ABSENT(write, (SAFEARRAY*))
    CORVO_ABSENT(writeln, (SAFEARRAY*))
    CORVO_ABSENT(open, (BSTR, VARIANT, VARIANT, VARIANT, IDispatch**))
    CORVO_ABSENT(close, ())
    CORVO_ABSENT(clear, ())
    CORVO_ABSENT(queryCommandSupported, (BSTR, VARIANT_BOOL*))
    CORVO_ABSENT(queryCommandEnabled, (BSTR, VARIANT_BOOL*))
    CORVO_ABSENT(queryCommandState, (BSTR, VARIANT_BOOL*))
    CORVO_ABSENT(queryCommandIndeterm, (BSTR, VARIANT_BOOL*))
    CORVO_ABSENT(queryCommandText, (BSTR, BSTR*))
    CORVO_ABSENT(queryCommandValue, (BSTR, VARIANT*))
    CORVO_ABSENT(execCommand, (BSTR, VARIANT_BOOL, VARIANT, VARIANT_BOOL*))
    CORVO_ABSENT(execCommandShowHelp, (BSTR, VARIANT_BOOL*))
    CORVO_ABSENT(createElement, (BSTR, IHTMLElement**))
    CORVO_ABSENT_PROPERTY(onhelp, VARIANT)
    CORVO_ABSENT_PROPERTY(onclick, VARIANT)
    CORVO_ABSENT_PROPERTY(ondblclick, VARIANT)
    CORVO_ABSENT_PROPERTY(onkeyup, VARIANT)
    CORVO_ABSENT_PROPERTY(onkeydown, VARIANT)
    CORVO_ABSENT_PROPERTY(onkeypress, VARIANT)
    CORVO_ABSENT_PROPERTY(onmouseup, VARIANT)
    CORVO_ABSENT_PROPERTY(onmousedown, VARIANT)
    CORVO_ABSENT_PROPERTY(onmousemove, VARIANT)
    CORVO_ABSENT_PROPERTY(onmouseout, VARIANT)
    CORVO_ABSENT_PROPERTY(onmouseover, VARIANT)
    CORVO_ABSENT_PROPERTY(onreadystatechange, VARIANT)
    CORVO_ABSENT_PROPERTY(onafterupdate, VARIANT)
    CORVO_ABSENT_PROPERTY(onrowexit, VARIANT)
    CORVO_ABSENT_PROPERTY(onrowenter, VARIANT)
    CORVO_ABSENT_PROPERTY(ondragstart, VARIANT)
    CORVO_ABSENT_PROPERTY(onselectstart, VARIANT)
    CORVO_ABSENT(elementFromPoint, (LONG, LONG, IHTMLElement**))
    CORVO_ABSENT(get_parentWindow, (IHTMLWindow2**))
    CORVO_ABSENT(get_styleSheets, (IHTMLStyleSheetsCollection**))
    CORVO_ABSENT_PROPERTY(onbeforeupdate, VARIANT)
    CORVO_ABSENT_PROPERTY(onerrorupdate, VARIANT)
    CORVO_ABSENT(toString, (BSTR*))
    CORVO_ABSENT(createStyleSheet, (BSTR, LONG, IHTMLStyleSheet**))

  private:
    std::shared_ptr<PageState> state_;
};

#undef CORVO_ABSENT_PROPERTY
#undef CORVO_ABSENT

class FakeSecurityManager final : public Fake<platform::ZoneOnlySecurityManager> {
  public:
    explicit FakeSecurityManager(std::shared_ptr<PageState> state) : state_(std::move(state)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return platform::QueryOneOf(this, riid, ppv,
                                    {&IID_IUnknown, &IID_IInternetSecurityManager});
    }
    HRESULT STDMETHODCALLTYPE MapUrlToZone(LPCWSTR, DWORD* zone, DWORD) override {
        if (state_->chain.zone_fails) return E_FAIL;
        *zone = state_->chain.zone;
        return S_OK;
    }

  private:
    std::shared_ptr<PageState> state_;
};

// The control's site: IServiceProvider for the browser and the security
// manager, IOleClientSite for the document.
class FakePageSite final : public Fake<IServiceProvider, IOleClientSite> {
  public:
    static ComPtr<FakePageSite> Create(PageChain chain) {
        auto state = std::make_shared<PageState>();
        state->chain = std::move(chain);
        return ComPtr<FakePageSite>::Adopt(new FakePageSite(std::move(state)));
    }

    IUnknown* Unknown() { return static_cast<IServiceProvider*>(this); }
    int AddressReads() const { return state_->address_reads; }
    // Every reference the caller took is given back: each object holds only
    // the one it was made with.
    bool AllReleased() const {
        return refs == 1 && browser_->refs == 1 && document_->refs == 1 && manager_->refs == 1;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        const PageChain& chain = state_->chain;
        if (riid == IID_IOleClientSite && chain.document)
            return platform::QueryOneOf(static_cast<IOleClientSite*>(this), riid, ppv,
                                        {&IID_IOleClientSite});
        if (riid == IID_IServiceProvider && !chain.service_provider)
            return platform::QueryOneOf(Unknown(), riid, ppv, {});
        return platform::QueryOneOf(Unknown(), riid, ppv, {&IID_IUnknown, &IID_IServiceProvider});
    }

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (service == SID_SWebBrowserApp && state_->chain.browser)
            return browser_->QueryInterface(riid, ppv);
        if (service == SID_SInternetSecurityManager && state_->chain.zone_mapper)
            return manager_->QueryInterface(riid, ppv);
        return E_NOINTERFACE;
    }

    HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
        return document_->QueryInterface(IID_IOleContainer, reinterpret_cast<void**>(container));
    }
    HRESULT STDMETHODCALLTYPE SaveObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShowObject() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }

  private:
    explicit FakePageSite(std::shared_ptr<PageState> state)
        : state_(state),
          browser_(ComPtr<FakeBrowser>::Adopt(new FakeBrowser(state))),
          document_(ComPtr<FakeDocument>::Adopt(new FakeDocument(state))),
          manager_(ComPtr<FakeSecurityManager>::Adopt(new FakeSecurityManager(state))) {}

    std::shared_ptr<PageState> state_;
    ComPtr<FakeBrowser> browser_;
    ComPtr<FakeDocument> document_;
    ComPtr<FakeSecurityManager> manager_;
};

}  // namespace corvo::test
