// QueryInterface rules, creation, reference counts and the module lock of the
// two data classes.
#include <gtest/gtest.h>

#include "data_test_support.h"
#include "platform/com/allocation_fault_injection.h"
#include "platform/com/module_lock.h"

namespace corvo::data::test {
namespace {

using Create = HRESULT (*)(IUnknown*, REFIID, void**);
struct ClassCase {
    const char* name;
    Create create;
    const IID* own;
    const IID* other;  // the other class's interface: not answered
};
const ClassCase kClasses[] = {
    {"SSOData", &CSSOData::CreateInstance, &IID_ISSOData, &IID_ISSODataArray},
    {"SSODataArray", &CSSODataArray::CreateInstance, &IID_ISSODataArray, &IID_ISSOData},
};

TEST(DataObjects, QueryInterfaceIdentityRules) {
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        ComPtr<IUnknown> unknown;
        ASSERT_EQ(c.create(nullptr, IID_IUnknown, unknown.OutVoid()), S_OK);
        ComPtr<IUnknown> own, dispatch;
        ComPtr<ISupportErrorInfo> support;
        ASSERT_EQ(unknown.As(*c.own, &own), S_OK);
        ASSERT_EQ(unknown.As(IID_IDispatch, &dispatch), S_OK);
        ASSERT_EQ(unknown.As(IID_ISupportErrorInfo, &support), S_OK);
        EXPECT_EQ(dispatch.Get(), own.Get()) << "IDispatch is the dual interface itself";
        EXPECT_NE(static_cast<IUnknown*>(support.Get()), own.Get());
        for (IUnknown* p : {own.Get(), dispatch.Get(), static_cast<IUnknown*>(support.Get())})
            EXPECT_EQ(Identity(p), unknown.Get());

        void* none = &none;
        EXPECT_EQ(unknown->QueryInterface(*c.other, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
        EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

        ISupportErrorInfo* info = support.Get();
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(*c.own), S_OK);
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(IID_IUnknown), S_FALSE);
        EXPECT_EQ(info->InterfaceSupportsErrorInfo(*c.other), S_FALSE);
    }
}

TEST(DataObjects, CreationFailuresLeaveNothingBehind) {
    const LONG start = com::ModuleLock::Count();
    ProbeData outer;
    for (const ClassCase& c : kClasses) {
        SCOPED_TRACE(c.name);
        void* out = &out;
        EXPECT_EQ(c.create(&outer, *c.own, &out), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(outer.refs, 0u);

        out = &out;
        EXPECT_EQ(c.create(nullptr, *c.other, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(com::ModuleLock::Count(), start) << "the refused object was destroyed";

        out = &out;
        corvo::testing::FailAllocationsAfter(0);
        EXPECT_EQ(c.create(nullptr, *c.own, &out), E_OUTOFMEMORY);
        corvo::testing::ClearAllocationFailure();
        EXPECT_EQ(out, nullptr);

        EXPECT_EQ(c.create(nullptr, *c.own, nullptr), E_POINTER);
        EXPECT_EQ(com::ModuleLock::Count(), start);
    }
}

TEST(DataObjects, EachLiveObjectHoldsOneModuleLock) {
    const LONG start = com::ModuleLock::Count();
    {
        ComPtr<ISSODataArray> a = NewArray();
        ComPtr<ISSOData> d = NewData();
        EXPECT_EQ(com::ModuleLock::Count(), start + 2);
        ASSERT_EQ(a->AddItem(d.Get()), S_OK);
        EXPECT_EQ(d->AddRef(), 3u);  // ours, the array's, this one
        EXPECT_EQ(d->Release(), 2u);
        d.Reset();
        EXPECT_EQ(com::ModuleLock::Count(), start + 2) << "the array keeps the data object alive";
        ASSERT_EQ(a->ClearAllItem(), S_OK);
        EXPECT_EQ(com::ModuleLock::Count(), start + 1);
    }
    EXPECT_EQ(com::ModuleLock::Count(), start);
}

TEST(DataObjects, TypeInformationCount) {
    ComPtr<ISSOData> d = NewData();
    UINT count = 0;
    EXPECT_EQ(d->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(d->GetTypeInfoCount(nullptr), E_POINTER);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
    EXPECT_EQ(d->GetTypeInfo(0, 0, &info), E_NOTIMPL);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(d->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(d->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

}  // namespace
}  // namespace corvo::data::test
