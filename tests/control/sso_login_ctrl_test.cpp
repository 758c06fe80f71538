// The control's methods: the gate, argument checks, results; identity and
// lifetime of the object.
#include "control/sso_login_ctrl.h"

#include <cstdlib>
#include <functional>
#include <vector>

#include "platform/com/allocation_fault_injection.h"
#include "platform/com/bstr_fault_injection.h"
#include "platform/com/bstr_ptr.h"
#include "tests/control/control_fixture.h"

namespace corvo::test {
namespace {

// Poison written into out arguments to see whether a method touched them.
void* const kUntouched = reinterpret_cast<void*>(0x5A5A5A5A);

// One ISSOLoginCtrl method, called with a null out pointer or with `out`.
struct MethodCall {
    const char* name;
    std::function<HRESULT(ISSOLoginCtrl*, void** out)> call;
    bool has_out;
};

std::vector<MethodCall> AllMethods() {
    return {
        {"InitSSOLoginCtrl",
         [](ISSOLoginCtrl* c, void**) { return c->InitSSOLoginCtrl(nullptr, 0); }, false},
        {"GetQXClientVersion",
         [](ISSOLoginCtrl* c, void** o) {
             return c->GetQXClientVersion(reinterpret_cast<BSTR*>(o));
         },
         true},
        {"CreateSSOData",
         [](ISSOLoginCtrl* c, void** o) {
             return c->CreateSSOData(reinterpret_cast<ISSOData**>(o));
         },
         true},
        {"CreateSSODataArray",
         [](ISSOLoginCtrl* c, void** o) {
             return c->CreateSSODataArray(reinterpret_cast<ISSODataArray**>(o));
         },
         true},
        {"GetUserList",
         [](ISSOLoginCtrl* c, void** o) {
             return c->GetUserList(0, 0, reinterpret_cast<ISSODataArray**>(o));
         },
         true},
        {"BeginSSOLogin",
         [](ISSOLoginCtrl* c, void** o) {
             return c->BeginSSOLogin(0, nullptr, reinterpret_cast<ISSOData**>(o));
         },
         true},
        {"GetSSOLoginCtrlVersion",
         [](ISSOLoginCtrl* c, void** o) {
             return c->GetSSOLoginCtrlVersion(reinterpret_cast<BSTR*>(o));
         },
         true},
    };
}

using Gate = ControlTest;

TEST_F(Gate, RefusedPageFailsEveryMethodBeforeItsArguments) {
    struct Page {
        const char* name;
        std::function<ComPtr<ISSOLoginCtrl>()> make;
    };
    const Page pages[] = {
        {"no site", [] { return NewControl(); }},
        {"refused page", [&] { return HostedControl(kRefusedPage).ctrl; }},
        {"allowed host over file:", [] { return HostedControl(u"file:///etc/passwd", 0).ctrl; }},
        {"site detached",
         [] {
             HostedControl h(AllowedPage());
             Query<IObjectWithSite>(h.ctrl.Get(), IID_IObjectWithSite)->SetSite(nullptr);
             return h.ctrl;
         }},
    };
    for (const Page& page : pages) {
        ComPtr<ISSOLoginCtrl> ctrl = page.make();
        for (const MethodCall& m : AllMethods()) {
            SCOPED_TRACE(std::string(page.name) + ": " + m.name);
            EXPECT_EQ(m.call(ctrl.Get(), nullptr), E_FAIL);
            void* out = kUntouched;
            EXPECT_EQ(m.call(ctrl.Get(), &out), E_FAIL);
            EXPECT_EQ(out, kUntouched);
        }
    }
}

TEST_F(Gate, AllowedPageChecksNullOutPointers) {
    HostedControl h(AllowedPage());
    for (const MethodCall& m : AllMethods()) {
        SCOPED_TRACE(m.name);
        EXPECT_EQ(m.call(h.ctrl.Get(), nullptr), m.has_out ? E_INVALIDARG : S_OK);
    }
}

TEST_F(Gate, DecisionIsTakenAfreshOnEveryCall) {
    HostedControl h(AllowedPage());
    EXPECT_EQ(h.ctrl->InitSSOLoginCtrl(nullptr, 0), S_OK);
    h.site->config.address = kRefusedPage;  // the browser navigated away
    EXPECT_EQ(h.ctrl->InitSSOLoginCtrl(nullptr, 0), E_FAIL);
    h.site->config.address = AllowedPage();
    h.site->config.zone_fails = true;
    EXPECT_EQ(h.ctrl->InitSSOLoginCtrl(nullptr, 0), E_FAIL);
}

using Methods = ControlTest;

TEST_F(Methods, InitIgnoresItsArguments) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> data;
    ASSERT_EQ(h.ctrl->CreateSSOData(data.Out()), S_OK);
    EXPECT_EQ(h.ctrl->InitSSOLoginCtrl(nullptr, 0), S_OK);
    EXPECT_EQ(h.ctrl->InitSSOLoginCtrl(data.Get(), -1), S_OK);
}

TEST_F(Methods, VersionIsNewStringEachCall) {
    HostedControl h(AllowedPage());
    BstrPtr a, b;
    ASSERT_EQ(h.ctrl->GetSSOLoginCtrlVersion(a.Out()), S_OK);
    ASSERT_EQ(h.ctrl->GetSSOLoginCtrlVersion(b.Out()), S_OK);
    EXPECT_EQ(a.View(), u"1.0.0.1");
    EXPECT_NE(a.Get(), b.Get());
}

TEST_F(Methods, VersionOutOfMemoryLeavesOutUntouched) {
    using Method = HRESULT (STDMETHODCALLTYPE ISSOLoginCtrl::*)(BSTR*);
    const std::pair<const char*, Method> methods[] = {
        {"GetSSOLoginCtrlVersion", &ISSOLoginCtrl::GetSSOLoginCtrlVersion},
        {"GetQXClientVersion", &ISSOLoginCtrl::GetQXClientVersion},
    };
    for (const auto& [name, method] : methods) {
        SCOPED_TRACE(name);
        HostedControl h(AllowedPage());
        void* out = kUntouched;
        testing::FailBstrAllocationAfter(1);  // the gate reads the page address
        const HRESULT hr = (h.ctrl.Get()->*method)(reinterpret_cast<BSTR*>(&out));
        testing::ClearBstrAllocationFailure();
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(out, kUntouched);
    }
}

TEST_F(Methods, CreateSSODataGivesDistinctEmptyObjects) {
    HostedControl h(AllowedPage());
    ComPtr<ISSOData> a, b;
    ASSERT_EQ(h.ctrl->CreateSSOData(a.Out()), S_OK);
    ASSERT_EQ(h.ctrl->CreateSSOData(b.Out()), S_OK);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a.Get(), b.Get());
    BstrPtr value;
    BstrPtr name = BstrPtr::FromText(u"strKey_FullUserID");
    ASSERT_EQ(a->SetDataStr(name.Get(), name.Get()), S_OK);
    ASSERT_EQ(b->GetDataStr(name.Get(), value.Out()), S_OK);
    EXPECT_EQ(value.View(), u"");
}

TEST_F(Methods, CreateSSODataArrayGivesEmptyArray) {
    HostedControl h(AllowedPage());
    ComPtr<ISSODataArray> array;
    ASSERT_EQ(h.ctrl->CreateSSODataArray(array.Out()), S_OK);
    ULONG size = 99;
    ASSERT_EQ(array->GetSize(&size), S_OK);
    EXPECT_EQ(size, 0u);
}

// Without an IM client: the user list is empty, the version is empty, and a
// quick login without data object is refused before anything else.
TEST_F(Methods, ExchangeMethodsWithoutClient) {
    setenv("CORVO_IM_DIR", "/nonexistent/corvo-im", 1);  // no client windows at all
    HostedControl h(AllowedPage());
    ComPtr<ISSODataArray> array;
    EXPECT_EQ(h.ctrl->GetUserList(0, 0, array.Out()), S_OK);
    ULONG size = 99;
    ASSERT_TRUE(array);
    EXPECT_EQ(array->GetSize(&size), S_OK);
    EXPECT_EQ(size, 0u);
    BstrPtr version;
    EXPECT_EQ(h.ctrl->GetQXClientVersion(version.Out()), S_OK);
    EXPECT_TRUE(version);
    void* out = kUntouched;
    EXPECT_EQ(h.ctrl->BeginSSOLogin(0, nullptr, reinterpret_cast<ISSOData**>(&out)), E_INVALIDARG);
    EXPECT_EQ(out, kUntouched);
    unsetenv("CORVO_IM_DIR");
}

TEST_F(Methods, ErrorInfoIsAnsweredForOwnInterfaceOnly) {
    auto ctrl = NewControl();
    auto info = Query<ISupportErrorInfo>(ctrl.Get(), IID_ISupportErrorInfo);
    EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_ISSOLoginCtrl), S_OK);
    for (const IID* iid : {&IID_IDispatch, &IID_IUnknown, &IID_ISSOData, &IID_IObjectSafety})
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(*iid), S_FALSE);
}

// --- identity and lifetime ----------------------------------------------------

const IID* const kAnswered[] = {
    &IID_ISSOLoginCtrl,     &IID_IDispatch,
    &IID_ISupportErrorInfo, &IID_IConnectionPointContainer,
    &IID_IObjectSafety,     &corvo::IID_IObjectSafetySiteLock,
    &IID_IObjectWithSite,   &IID_IUnknown,
};

using Identity = ControlTest;

TEST_F(Identity, InterfaceTableOrder) {
    auto table = CSSOLoginCtrl::InterfaceTable();
    ASSERT_EQ(table.size(), 7u);
    for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(*table[i].iid, *kAnswered[i]) << i;
}

TEST_F(Identity, QueryInterfaceRules) {
    auto ctrl = NewControl();
    IUnknown* identity = nullptr;
    ASSERT_EQ(ctrl->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(ctrl.Get())) << "IUnknown is ISSOLoginCtrl";
    for (const IID* from : kAnswered) {
        ComPtr<IUnknown> a;
        ASSERT_EQ(ctrl->QueryInterface(*from, a.OutVoid()), S_OK);
        for (const IID* to : kAnswered) {
            ComPtr<IUnknown> b, back, unk;
            ASSERT_EQ(a->QueryInterface(*to, b.OutVoid()), S_OK);  // symmetric, transitive
            ASSERT_EQ(b->QueryInterface(*from, back.OutVoid()), S_OK);
            EXPECT_EQ(back.Get(), a.Get()) << "stable pointers";
            ASSERT_EQ(b->QueryInterface(IID_IUnknown, unk.OutVoid()), S_OK);
            EXPECT_EQ(unk.Get(), identity) << "one identity";
        }
    }
    identity->Release();
    void* safety = nullptr;
    void* site_lock = nullptr;
    ASSERT_EQ(ctrl->QueryInterface(IID_IObjectSafety, &safety), S_OK);
    ASSERT_EQ(ctrl->QueryInterface(corvo::IID_IObjectSafetySiteLock, &site_lock), S_OK);
    EXPECT_EQ(safety, site_lock);
    static_cast<IUnknown*>(safety)->Release();
    static_cast<IUnknown*>(site_lock)->Release();

    void* none = kUntouched;
    for (const IID* iid : {&IID_IClassFactory, &IID_ISSOData, &IID_IConnectionPoint,
                           &IID_IServiceProvider, &DIID__ISSOLoginCtrlEvents}) {
        EXPECT_EQ(ctrl->QueryInterface(*iid, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
    }
    EXPECT_EQ(ctrl->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(Identity, CountsReferencesAndHoldsOneModuleLock) {
    const LONG before = com::ModuleLock::Count();
    ISSOLoginCtrl* raw = nullptr;
    ASSERT_EQ(
        CSSOLoginCtrl::CreateInstance(nullptr, IID_ISSOLoginCtrl, reinterpret_cast<void**>(&raw)),
        S_OK);
    EXPECT_EQ(com::ModuleLock::Count(), before + 1);
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);
    EXPECT_EQ(raw->Release(), 0u);
    EXPECT_EQ(com::ModuleLock::Count(), before);
}

TEST_F(Identity, CreationRefusesOuterAndUnknownInterface) {
    auto outer = NewControl();
    void* out = kUntouched;
    // Inside an outer object only IUnknown may be asked for.
    EXPECT_EQ(CSSOLoginCtrl::CreateInstance(outer.Get(), IID_ISSOLoginCtrl, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    out = kUntouched;
    EXPECT_EQ(CSSOLoginCtrl::CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(CSSOLoginCtrl::CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

// Out of memory at each allocation of a creation: the creation's result is
// E_OUTOFMEMORY, nothing is handed out and nothing leaks.
TEST_F(Identity, CreationOutOfMemory) {
    for (int successes : {0, 1}) {  // the object, then its serialization helper
        SCOPED_TRACE(successes);
        void* out = kUntouched;
        testing::FailAllocationsAfter(successes);
        const HRESULT hr = CSSOLoginCtrl::CreateInstance(nullptr, IID_ISSOLoginCtrl, &out);
        testing::ClearAllocationFailure();
        EXPECT_EQ(hr, E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);
    }
}

TEST_F(Methods, DataObjectCreationOutOfMemory) {
    HostedControl h(AllowedPage());
    void* out = kUntouched;
    testing::FailAllocationsAfter(0);
    EXPECT_EQ(h.ctrl->CreateSSOData(reinterpret_cast<ISSOData**>(&out)), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    out = kUntouched;
    EXPECT_EQ(h.ctrl->CreateSSODataArray(reinterpret_cast<ISSODataArray**>(&out)), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    auto container = Query<IConnectionPointContainer>(h.ctrl.Get(), IID_IConnectionPointContainer);
    out = kUntouched;
    EXPECT_EQ(container->EnumConnectionPoints(reinterpret_cast<IEnumConnectionPoints**>(&out)),
              E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    testing::ClearAllocationFailure();
}

}  // namespace
}  // namespace corvo::test
