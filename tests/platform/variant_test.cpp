#include <gtest/gtest.h>

#include "platform/com/com.h"

namespace {

// Counts references so that VariantClear/VariantCopy can be checked.
struct Probe : IDispatch {
    int refs = 1;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};

TEST(Variant, ClearReleasesWhatItOwnsAndNothingByReference) {
    Probe probe;
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(v.vt, VT_EMPTY);

    v.vt = VT_DISPATCH;
    v.pdispVal = &probe;
    probe.AddRef();
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(probe.refs, 1);
    EXPECT_EQ(v.vt, VT_EMPTY);

    IDispatch* slot = &probe;
    v.vt = VT_DISPATCH | VT_BYREF;
    v.ppdispVal = &slot;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(probe.refs, 1);

    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(u"owned");
    EXPECT_EQ(VariantClear(&v), S_OK);  // ASan reports a leak if not freed
    EXPECT_EQ(VariantClear(nullptr), E_INVALIDARG);
}

TEST(Variant, CopyIsDeep) {
    Probe probe;
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocStringLen(u"x\0y", 3);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_EQ(SysStringLen(b.bstrVal), 3u);
    VariantClear(&a);

    a.vt = VT_UNKNOWN;
    a.punkVal = &probe;  // borrowed by the variant for this test: balance below
    probe.AddRef();
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);  // frees b's BSTR first
    EXPECT_EQ(probe.refs, 3);
    VariantClear(&a);
    VariantClear(&b);
    EXPECT_EQ(probe.refs, 1);
}

}  // namespace
