// IObjectWithSite, IObjectSafety and IObjectSafetySiteLock of the control.
#include <random>

#include "control/object_safety_site_lock.h"
#include "control/site_lock.h"
#include "tests/control/control_fixture.h"

namespace corvo::test {
namespace {

using Site = ControlTest;

TEST_F(Site, SetSiteAnswersTheSiteCheckAndKeepsTheSiteEitherWay) {
    struct Case {
        std::u16string page;
        HRESULT expected;
    };
    const Case cases[] = {{AllowedPage(), S_OK}, {kRefusedPage, E_FAIL}, {u"", E_FAIL}};
    for (const Case& c : cases) {
        auto ctrl = NewControl();
        auto with_site = Query<IObjectWithSite>(ctrl.Get(), IID_IObjectWithSite);
        FakeSiteConfig config;
        config.address = c.page;
        auto site = FakeSite::Create(config);
        EXPECT_EQ(with_site->SetSite(site->Unknown()), c.expected);
        ComPtr<IServiceProvider> got;
        EXPECT_EQ(with_site->GetSite(IID_IServiceProvider, got.OutVoid()), S_OK);
        EXPECT_EQ(got.Get(), static_cast<IServiceProvider*>(site.Get()));
        got.Reset();
        EXPECT_EQ(site->refs, 2u);
        ctrl.Reset();
        with_site.Reset();
        EXPECT_EQ(site->refs, 1u) << "destruction releases the site";
    }
}

TEST_F(Site, NullSiteIsRefusedAndReleasesTheOldOne) {
    HostedControl h(AllowedPage());
    auto with_site = Query<IObjectWithSite>(h.ctrl.Get(), IID_IObjectWithSite);
    EXPECT_EQ(h.site->refs, 2u);
    EXPECT_EQ(with_site->SetSite(h.site->Unknown()), S_OK) << "same site again";
    EXPECT_EQ(h.site->refs, 2u) << "no second reference";
    EXPECT_EQ(with_site->SetSite(nullptr), E_FAIL);
    EXPECT_EQ(h.site->refs, 1u);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(with_site->GetSite(IID_IUnknown, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(with_site->GetSite(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Site, GetSiteForwardsTheSitesAnswer) {
    HostedControl h(AllowedPage());
    auto with_site = Query<IObjectWithSite>(h.ctrl.Get(), IID_IObjectWithSite);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(with_site->GetSite(IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

using Safety = ControlTest;

TEST_F(Safety, GetOptionsReportsEnabledOnlyForAllowedPage) {
    struct Case {
        std::u16string page;
        DWORD enabled;
    };
    for (const Case& c : {Case{AllowedPage(), 1}, Case{kRefusedPage, 0}}) {
        HostedControl h(c.page);
        auto safety = Query<IObjectSafety>(h.ctrl.Get(), IID_IObjectSafety);
        ASSERT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 3, 1), S_OK);
        DWORD supported = 0xFF, enabled = 0xFF;
        ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, &enabled), S_OK);
        EXPECT_EQ(supported, 3u);
        EXPECT_EQ(enabled, c.enabled);
    }
}

TEST_F(Safety, UnknownInterfaceAndNullPointers) {
    HostedControl h(AllowedPage());
    auto safety = Query<IObjectSafety>(h.ctrl.Get(), IID_IObjectSafety);
    DWORD supported = 0xFF, enabled = 0xFF;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IClassFactory, &supported, &enabled),
              E_NOINTERFACE);
    EXPECT_EQ(supported, 0u);
    EXPECT_EQ(enabled, 0u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, nullptr, &enabled), E_POINTER);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IID_IDispatch, &supported, nullptr), E_POINTER);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IClassFactory, 1, 1), E_NOINTERFACE);
}

// SetInterfaceSafetyOptions against a model of the options word.
TEST_F(Safety, OptionArithmeticFollowsTheModel) {
    HostedControl h(AllowedPage());
    auto safety = Query<IObjectSafety>(h.ctrl.Get(), IID_IObjectSafety);
    std::mt19937 rng(12345);
    DWORD model = 0;
    for (int i = 0; i < 500; ++i) {
        const DWORD mask = rng() % 2 ? rng() % 4 : rng();
        const DWORD enabled = rng();
        const HRESULT hr = safety->SetInterfaceSafetyOptions(IID_ISSOLoginCtrl, mask, enabled);
        if (mask > 3) {
            EXPECT_EQ(hr, E_FAIL);
        } else {
            EXPECT_EQ(hr, S_OK);
            model = (model & ~mask) | (enabled & mask);
        }
        DWORD supported = 0, current = 0;
        ASSERT_EQ(safety->GetInterfaceSafetyOptions(IID_IUnknown, &supported, &current), S_OK);
        ASSERT_EQ(current, model) << "step " << i;
    }
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IID_IDispatch, 4, 4), E_FAIL);
}

using SiteLockInfo = ControlTest;

TEST_F(SiteLockInfo, QuerySiteLockInfo) {
    auto lock = Query<IObjectSafetySiteLock>(NewControl().Get(), IID_IObjectSafetySiteLock);
    struct Case {
        DWORD in, out;
        HRESULT hr;
    };
    for (const Case& c : {Case{0, 0x00010015, S_OK}, Case{1, 0, S_OK}, Case{2, 0, E_NOTIMPL},
                          Case{0xFFFFFFFF, 0, E_NOTIMPL}}) {
        DWORD value = c.in;
        EXPECT_EQ(lock->QuerySiteLockInfo(&value), c.hr) << c.in;
        EXPECT_EQ(value, c.out) << c.in;
    }
    EXPECT_EQ(lock->QuerySiteLockInfo(nullptr), E_POINTER);
}

TEST_F(SiteLockInfo, AllowedSiteListIsTheTableEvenOnRefusedPage) {
    HostedControl h(kRefusedPage);
    auto lock = Query<IObjectSafetySiteLock>(h.ctrl.Get(), IID_IObjectSafetySiteLock);
    const SiteLockEntry* entries = nullptr;
    DWORD count = 0;
    ASSERT_EQ(lock->GetAllowedSiteList(&entries, &count), S_OK);
    EXPECT_EQ(entries, CSiteLock::Table());
    EXPECT_EQ(count, 18u);
    EXPECT_EQ(lock->GetAllowedSiteList(nullptr, &count), E_POINTER);
    EXPECT_EQ(lock->GetAllowedSiteList(&entries, nullptr), E_POINTER);
}

TEST_F(SiteLockInfo, ExpiryIsNotImplemented) {
    auto lock = Query<IObjectSafetySiteLock>(NewControl().Get(), IID_IObjectSafetySiteLock);
    DWORD flags = 7;
    ULONGLONG expiry = 7;
    EXPECT_EQ(lock->GetSiteLockExpiry(&flags, &expiry), E_NOTIMPL);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(expiry, 0u);
    EXPECT_EQ(lock->GetSiteLockExpiry(nullptr, &expiry), E_POINTER);
    EXPECT_EQ(lock->GetSiteLockExpiry(&flags, nullptr), E_POINTER);
}

}  // namespace
}  // namespace corvo::test
