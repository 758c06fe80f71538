#include "platform/page_host_site.h"

#include <atomic>
#include <utility>

#include "platform/com/bstr_ptr.h"
#include "platform/posix/page_location.h"

namespace corvo::platform {
namespace {

// The zone a browser here gives the address.
int32_t DefaultZoneFor(std::u16string_view address) {
    constexpr std::u16string_view kFile = u"file:";
    if (address.size() < kFile.size()) return 3;
    for (size_t i = 0; i < kFile.size(); ++i) {
        char16_t c = address[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != kFile[i]) return 3;
    }
    return 0;
}

// One object answers as the site, the browser and the security manager.
class CPageHostSite final : public IServiceProvider, public IPageLocation, public IPageZoneMapper {
  public:
    CPageHostSite(std::u16string address, int32_t zone)
        : address_(std::move(address)), zone_(zone) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IServiceProvider)
            *ppv = static_cast<IServiceProvider*>(this);
        else if (riid == IID_IPageLocation)
            *ppv = static_cast<IPageLocation*>(this);
        else if (riid == IID_IPageZoneMapper)
            *ppv = static_cast<IPageZoneMapper*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG refs = --refs_;
        if (refs == 0) delete this;
        return refs;
    }

    HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (service == SID_SPageLocation || service == SID_SPageZoneMapper)
            return QueryInterface(riid, ppv);
        return E_NOINTERFACE;
    }

    HRESULT GetLocationURL(BSTR* url) override {
        if (!url) return E_POINTER;
        BstrPtr copy = BstrPtr::FromText(address_);
        if (!copy) return E_OUTOFMEMORY;
        *url = copy.Detach();
        return S_OK;
    }

    HRESULT MapUrlToZone(LPCOLESTR, DWORD* zone, DWORD) override {
        if (!zone) return E_POINTER;
        *zone = static_cast<DWORD>(zone_);
        return S_OK;
    }

  private:
    ~CPageHostSite() = default;

    std::atomic<ULONG> refs_{0};
    std::u16string address_;
    int32_t zone_;
};

}  // namespace

ComPtr<IUnknown> CreatePageHostSite(std::u16string address, int32_t zone) {
    if (zone < 0) zone = DefaultZoneFor(address);
    return ComPtr<IUnknown>(
        static_cast<IServiceProvider*>(new CPageHostSite(std::move(address), zone)));
}

}  // namespace corvo::platform
