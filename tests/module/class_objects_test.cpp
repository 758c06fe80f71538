// The module's class objects as a host meets them: lookup errors, the lazily
// created and kept class objects, creation through them, the lock count that
// DllCanUnloadNow reports.
#include "module_test_support.h"

namespace corvo::module::test {
namespace {

constexpr GUID kUnknownGuid = MakeGuid("12345678-9ABC-DEF0-1234-56789ABCDEF0");
constexpr GUID kZeroGuid{};

// A class asked for an interface, and what the module answers.
struct ClassCase {
    const char* name;
    const GUID* clsid;
    const IID* iid;
    HRESULT expected;
};

// Checks a call that hands out an object through its last argument (`call`
// takes that argument): the expected result, an object on success (held while
// the module is asked whether it can unload, then released) and nothing
// otherwise; E_POINTER without a place for the object.
template <class Call>
void ExpectHandedOut(const ClassCase& c, const Call& call) {
    void* out = &out;
    EXPECT_EQ(call(&out), c.expected);
    if (c.expected == S_OK) {
        ASSERT_NE(out, nullptr);
        EXPECT_EQ(Module::Get().CanUnloadNow(), S_FALSE);
        static_cast<IUnknown*>(out)->Release();
    } else {
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(call(nullptr), E_POINTER);
}

TEST(ClassObjects, LookupResults) {
    const ClassCase cases[] = {
        {"control, IClassFactory", &CLSID_SSOLoginCtrl, &IID_IClassFactory, S_OK},
        {"control, IUnknown", &CLSID_SSOLoginCtrl, &IID_IUnknown, S_OK},
        {"SSOData", &CLSID_SSOData, &IID_IClassFactory, S_OK},
        {"SSODataArray", &CLSID_SSODataArray, &IID_IClassFactory, S_OK},
        {"an interface the class object lacks", &CLSID_SSOData, &IID_IDispatch, E_NOINTERFACE},
        {"the control's interface", &CLSID_SSOLoginCtrl, &IID_ISSOLoginCtrl, E_NOINTERFACE},
        {"the LIBID", &LIBID_CorvoSSOLoginLib, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {"an IID as CLSID", &IID_ISSOData, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {"the event interface", &DIID__ISSOLoginCtrlEvents, &IID_IClassFactory,
         CLASS_E_CLASSNOTAVAILABLE},
        {"an unknown GUID", &kUnknownGuid, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {"GUID_NULL", &kZeroGuid, &IID_IUnknown, CLASS_E_CLASSNOTAVAILABLE},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectHandedOut(
            c, [&](void** out) { return Module::Get().GetClassObject(*c.clsid, *c.iid, out); });
    }
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
}

TEST(ClassObjects, KeptForTheModulesLifetimeAndCounted) {
    ASSERT_EQ(Module::Get().CanUnloadNow(), S_OK);
    for (const GUID* clsid : {&CLSID_SSOLoginCtrl, &CLSID_SSOData, &CLSID_SSODataArray}) {
        ComPtr<IClassFactory> first = ClassObject(*clsid);
        // A host holding a class object keeps the module loaded.
        EXPECT_EQ(Module::Get().CanUnloadNow(), S_FALSE);
        ComPtr<IClassFactory> second = ClassObject(*clsid);
        EXPECT_EQ(first.Get(), second.Get()) << "one class object per class";
        ComPtr<IUnknown> unknown;
        EXPECT_EQ(first.As(IID_IUnknown, &unknown), S_OK);
        EXPECT_EQ(static_cast<IUnknown*>(first.Get()), unknown.Get());
        first.Reset();
        second.Reset();
        unknown.Reset();
        EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
        // Still the same object afterwards: the module keeps it.
        EXPECT_EQ(ClassObject(*clsid).Get(), ClassObject(*clsid).Get());
    }
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
}

TEST(ClassObjects, LockServerHoldsTheModule) {
    ComPtr<IClassFactory> factory = ClassObject(CLSID_SSOData);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_FALSE);
    factory = ClassObject(CLSID_SSOData);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_FALSE) << "one lock is left";
    factory = ClassObject(CLSID_SSOData);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
}

TEST(ClassObjects, CreationResults) {
    const ClassCase cases[] = {
        {"control", &CLSID_SSOLoginCtrl, &IID_ISSOLoginCtrl, S_OK},
        {"control as IDispatch", &CLSID_SSOLoginCtrl, &IID_IDispatch, S_OK},
        {"SSOData", &CLSID_SSOData, &IID_ISSOData, S_OK},
        {"SSODataArray", &CLSID_SSODataArray, &IID_ISSODataArray, S_OK},
        {"SSOData asked for the array", &CLSID_SSOData, &IID_ISSODataArray, E_NOINTERFACE},
        {"control asked for IClassFactory", &CLSID_SSOLoginCtrl, &IID_IClassFactory, E_NOINTERFACE},
    };
    for (const ClassCase& c : cases) {
        SCOPED_TRACE(c.name);
        ComPtr<IClassFactory> factory = ClassObject(*c.clsid);
        ASSERT_TRUE(factory);
        ExpectHandedOut(c,
                        [&](void** out) { return factory->CreateInstance(nullptr, *c.iid, out); });
        factory.Reset();
        EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK) << "a failed creation leaves nothing";
    }
}

// A data object handed out by the control keeps the module loaded after the
// control is gone.
TEST(ClassObjects, DataObjectFromTheControlHoldsTheModule) {
    ComPtr<ISSOLoginCtrl> control;
    ASSERT_EQ(ClassObject(CLSID_SSOLoginCtrl)
                  ->CreateInstance(nullptr, IID_ISSOLoginCtrl, control.OutVoid()),
              S_OK);
    ComPtr<ISSOData> data;
    // Without a site the gate refuses; the data class creates it directly.
    EXPECT_EQ(control->CreateSSOData(data.Out()), E_FAIL);
    ASSERT_EQ(ClassObject(CLSID_SSOData)->CreateInstance(nullptr, IID_ISSOData, data.OutVoid()),
              S_OK);
    control.Reset();
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_FALSE);
    data.Reset();
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
}

// An outer object that records how it is called. It lives on the stack and
// answers IUnknown with itself and kOuterOnly with itself; everything else
// is handed to the inner object it aggregates.
constexpr IID kOuterOnly = MakeGuid("0DDBA11C-0FFE-E000-0000-0000000000AA");

class TestOuter final : public IUnknown {
  public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        ++queries;
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kOuterOnly)) {
            AddRef();
            *ppv = static_cast<IUnknown*>(this);
            return S_OK;
        }
        if (!inner) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        return inner->QueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }

    ULONG refs = 1;  // the owner's reference
    int queries = 0;
    ComPtr<IUnknown> inner;  // the aggregated object's non-delegating IUnknown
};

TEST(ClassObjects, DataClassesRefuseAggregation) {
    for (const GUID* clsid : {&CLSID_SSOData, &CLSID_SSODataArray}) {
        TestOuter outer;
        for (const IID* iid : {&IID_IUnknown, &IID_ISSOData, &IID_ISSODataArray}) {
            void* out = &out;
            EXPECT_EQ(ClassObject(*clsid)->CreateInstance(&outer, *iid, &out),
                      CLASS_E_NOAGGREGATION);
            EXPECT_EQ(out, nullptr);
        }
        EXPECT_EQ(outer.refs, 1u);
    }
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
}

TEST(ClassObjects, ControlAggregatedInAnOuterObject) {
    TestOuter outer;
    {
        ComPtr<IClassFactory> factory = ClassObject(CLSID_SSOLoginCtrl);
        void* out = &out;
        // An outer object must ask for IUnknown.
        EXPECT_EQ(factory->CreateInstance(&outer, IID_ISSOLoginCtrl, &out), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(out, nullptr);
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, outer.inner.OutVoid()), S_OK);
    }
    IUnknown* inner = outer.inner.Get();
    EXPECT_NE(inner, static_cast<IUnknown*>(&outer));
    EXPECT_EQ(outer.refs, 1u) << "the inner object does not hold its outer object";
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_FALSE);

    // The non-delegating IUnknown counts the inner object's own references.
    EXPECT_EQ(inner->AddRef(), 2u);
    EXPECT_EQ(inner->Release(), 1u);
    ComPtr<IUnknown> inner_again;
    ASSERT_EQ(outer.inner.As(IID_IUnknown, &inner_again), S_OK);
    EXPECT_EQ(inner_again.Get(), inner) << "the inner object's IUnknown is its own";
    inner_again.Reset();

    // Interfaces got through the inner object count on the outer object.
    const int queries_before = outer.queries;
    ComPtr<ISSOLoginCtrl> control;
    ASSERT_EQ(outer.inner.As(IID_ISSOLoginCtrl, &control), S_OK);
    EXPECT_EQ(outer.queries, queries_before) << "the outer object asked the inner directly";
    EXPECT_EQ(outer.refs, 2u);
    EXPECT_EQ(control->AddRef(), 3u);
    EXPECT_EQ(control->Release(), 2u);

    // Their QueryInterface is the outer object's: identity, interfaces only
    // the outer object has, and the inner object's through the outer.
    ComPtr<IUnknown> identity;
    ASSERT_EQ(control.As(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    ComPtr<IUnknown> outer_only;
    ASSERT_EQ(control.As(kOuterOnly, &outer_only), S_OK);
    EXPECT_EQ(outer_only.Get(), static_cast<IUnknown*>(&outer));
    ComPtr<IObjectWithSite> with_site;
    const int queries_mid = outer.queries;
    ASSERT_EQ(control.As(IID_IObjectWithSite, &with_site), S_OK);
    EXPECT_EQ(outer.queries, queries_mid + 1);
    EXPECT_EQ(outer.refs, 5u);  // control, identity, outer_only, with_site
    identity.Reset();
    outer_only.Reset();
    with_site.Reset();

    // The connection point's container is the aggregate too.
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(control.As(IID_IConnectionPointContainer, &container), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID__ISSOLoginCtrlEvents, point.Out()), S_OK);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(point->GetConnectionPointContainer(back.Out()), S_OK);
    ASSERT_EQ(back.As(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(&outer));
    identity.Reset();
    back.Reset();
    point.Reset();
    container.Reset();
    control.Reset();
    EXPECT_EQ(outer.refs, 1u) << "every delegated reference was given back";

    // The safety options ask the aggregate, not the inner object alone, which
    // interfaces there are.
    ASSERT_EQ(outer.inner.As(IID_ISSOLoginCtrl, &control), S_OK);
    ComPtr<IObjectSafety> safety;
    ASSERT_EQ(control.As(IID_IObjectSafety, &safety), S_OK);
    const struct {
        const IID* iid;
        HRESULT get;
        DWORD supported;
    } rows[] = {
        {&kOuterOnly, S_OK, 3},
        {&IID_IDispatch, S_OK, 3},
        {&IID_IClassFactory, E_NOINTERFACE, 0},
    };
    for (const auto& row : rows) {
        DWORD supported = 99, enabled = 99;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(*row.iid, &supported, &enabled), row.get);
        EXPECT_EQ(supported, row.supported);
        EXPECT_EQ(enabled, 0u) << "no site, so nothing is enabled";
        EXPECT_EQ(safety->SetInterfaceSafetyOptions(*row.iid, 3, 1), row.get);
    }
    safety.Reset();
    control.Reset();
    EXPECT_EQ(outer.refs, 1u) << "the safety queries gave their references back";

    // The outer object's release destroys the inner object, once.
    outer.inner.Reset();
    EXPECT_EQ(outer.refs, 1u);
    EXPECT_EQ(Module::Get().CanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace corvo::module::test
