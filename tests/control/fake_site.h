// A site for the control under test: plays the browser, the container
// document and the security manager, each of which can be made to fail.
#pragma once

#include <string>

#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/posix/page_location.h"
#include "tests/common/page_chain_cases.h"

namespace corvo::test {

// What the site does: each link of the chain can be left out or made to fail.
using FakeSiteConfig = PageChain;

class FakeSite final : public IServiceProvider,
                       public platform::IPageLocation,
                       public platform::IPageZoneMapper {
  public:
    static ComPtr<FakeSite> Create(FakeSiteConfig config) {
        return ComPtr<FakeSite>::Adopt(new FakeSite(std::move(config)));
    }

    FakeSiteConfig config;
    ULONG refs = 1;
    int location_reads = 0;

    IUnknown* Unknown() { return static_cast<IServiceProvider*>(this); }
    int AddressReads() const { return location_reads; }
    bool AllReleased() const { return refs == 1; }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown)
            *ppv = Unknown();
        else if (riid == IID_IServiceProvider && config.service_provider)
            *ppv = static_cast<IServiceProvider*>(this);
        else if (riid == platform::IID_IPageLocation && config.document)
            *ppv = static_cast<IPageLocation*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        const ULONG r = --refs;
        if (r == 0) delete this;
        return r;
    }

    HRESULT QueryService(REFGUID service, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (service == platform::SID_SPageLocation && riid == platform::IID_IPageLocation &&
            config.browser)
            *ppv = static_cast<IPageLocation*>(this);
        else if (service == platform::SID_SPageZoneMapper &&
                 riid == platform::IID_IPageZoneMapper && config.zone_mapper)
            *ppv = static_cast<IPageZoneMapper*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    HRESULT GetLocationURL(BSTR* url) override {
        ++location_reads;
        if (config.location_fails) return E_FAIL;
        *url = BstrPtr::FromText(config.address).Detach();
        return *url ? S_OK : E_OUTOFMEMORY;
    }

    HRESULT MapUrlToZone(LPCOLESTR, DWORD* zone, DWORD) override {
        if (config.zone_fails) return E_FAIL;
        *zone = config.zone;
        return S_OK;
    }

  private:
    explicit FakeSite(FakeSiteConfig c) : config(std::move(c)) {}
    ~FakeSite() = default;
};

// An address of the configured table that the site lock allows: https and the
// first plain login host.
std::u16string AllowedPage();
// An address no entry allows.
inline constexpr char16_t kRefusedPage[] = u"https://www.example.org/";

}  // namespace corvo::test
