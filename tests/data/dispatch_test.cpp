// ISSOData and ISSODataArray reached by name through IDispatch, as a script
// host reaches them.
#include <gtest/gtest.h>

#include <vector>

#include "data_test_support.h"

namespace corvo::data::test {
namespace {

// Owns a VARIANT.
struct Var {
    VARIANT v;
    Var() { VariantInit(&v); }
    ~Var() { VariantClear(&v); }
    Var(const Var& o) {
        VariantInit(&v);
        VariantCopy(&v, &o.v);
    }
    Var& operator=(const Var&) = delete;
};

Var I4(LONG x) {
    Var r;
    r.v.vt = VT_I4;
    r.v.lVal = x;
    return r;
}
Var Str(std::u16string_view s) {
    Var r;
    r.v.vt = VT_BSTR;
    r.v.bstrVal = BstrPtr::FromText(s).Detach();
    return r;
}
Var Disp(IDispatch* p) {
    Var r;
    r.v.vt = VT_DISPATCH;
    r.v.pdispVal = p;
    if (p) p->AddRef();
    return r;
}
Var Of(VARTYPE vt) {
    Var r;
    r.v.vt = vt;
    return r;
}

DISPID IdOf(IDispatch* d, const char16_t* name) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 12345;
    const HRESULT hr = d->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
    if (hr != S_OK) {
        EXPECT_EQ(id, DISPID_UNKNOWN);
    }
    return id;
}

// Calls `name` with `args` in their natural order; rgvarg gets them reversed.
HRESULT Call(IDispatch* d, const char16_t* name, std::vector<Var> args, Var* result = nullptr,
             WORD flags = DISPATCH_METHOD, UINT* arg_err = nullptr) {
    std::vector<VARIANT> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->v);
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    const DISPID id = IdOf(d, name);
    if (id == DISPID_UNKNOWN) return DISP_E_UNKNOWNNAME;
    return d->Invoke(id, GUID_NULL, 0, flags, &params, result ? &result->v : nullptr, nullptr,
                     arg_err);
}

std::u16string Text(const Var& r) {
    EXPECT_EQ(r.v.vt, VT_BSTR);
    return r.v.vt == VT_BSTR ? std::u16string(r.v.bstrVal, SysStringLen(r.v.bstrVal)) : u"?";
}

TEST(Dispatch, NamesMatchWithoutLetterCase) {
    ComPtr<ISSOData> d = NewData();
    struct Case {
        const char16_t* name;
        DISPID id;
    } cases[] = {{u"GetDataStr", 1},    {u"getdatastr", 1},
                 {u"GETDATADWORD", 2},  {u"GetDataLong", 3},
                 {u"setDataStr", 4},    {u"SetDataDword", 5},
                 {u"SETDATALONG", 6},   {u"GetDataStrX", DISPID_UNKNOWN},
                 {u"", DISPID_UNKNOWN}, {u"GetSize", DISPID_UNKNOWN}};
    for (const Case& c : cases) EXPECT_EQ(IdOf(d.Get(), c.name), c.id);

    ComPtr<ISSODataArray> a = NewArray();
    EXPECT_EQ(IdOf(a.Get(), u"getsize"), 1);
    EXPECT_EQ(IdOf(a.Get(), u"AddItem"), 2);
    EXPECT_EQ(IdOf(a.Get(), u"clearallitem"), 3);
    EXPECT_EQ(IdOf(a.Get(), u"GetItemData"), 4);

    // Parameter names resolve to their positions.
    LPOLESTR names[] = {const_cast<LPOLESTR>(u"SETDATASTR"), const_cast<LPOLESTR>(u"bstrvalue"),
                        const_cast<LPOLESTR>(u"nope"), const_cast<LPOLESTR>(u"BSTRNAME")};
    DISPID ids[4] = {};
    EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, names, 4, 0, ids), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(ids[0], 4);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], DISPID_UNKNOWN);
    EXPECT_EQ(ids[3], 0);
    EXPECT_EQ(d->GetIDsOfNames(IID_IUnknown, names, 1, 0, ids), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(d->GetIDsOfNames(GUID_NULL, names, 0, 0, ids), E_INVALIDARG);
}

TEST(Dispatch, EveryISSODataMember) {
    ComPtr<ISSOData> d = NewData();
    ASSERT_EQ(Call(d.Get(), u"SetDataStr", {Str(u"k"), Str(u"v")}), S_OK);
    Var r;
    ASSERT_EQ(Call(d.Get(), u"GetDataStr", {Str(u"k")}, &r), S_OK);
    EXPECT_EQ(Text(r), u"v");
    Var missing;
    ASSERT_EQ(Call(d.Get(), u"getdatastr", {Str(u"K")}, &missing, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(Text(missing), u"");
    EXPECT_EQ(Call(d.Get(), u"GetDataStr", {Str(u"k")}), S_OK) << "result discarded";

    // The numeric members fail as declared, whether the pointer argument comes
    // by reference or by value.
    ULONG u = 5;
    Var ref = Of(VT_BYREF | VT_UI4);
    ref.v.pulVal = &u;
    Var unused;
    EXPECT_EQ(Call(d.Get(), u"GetDataDword", {Str(u"k"), ref}, &unused), E_NOTIMPL);
    EXPECT_EQ(Call(d.Get(), u"GetDataDword", {Str(u"k"), I4(1)}), E_NOTIMPL);
    EXPECT_EQ(Call(d.Get(), u"GetDataLong", {Str(u"k"), I4(1)}), E_NOTIMPL);
    EXPECT_EQ(Call(d.Get(), u"SetDataDword", {Str(u"k"), I4(1)}), E_NOTIMPL);
    EXPECT_EQ(Call(d.Get(), u"SetDataLong", {Str(u"k"), I4(-1)}), E_NOTIMPL);
    EXPECT_EQ(unused.v.vt, VT_EMPTY);
    EXPECT_EQ(u, 5u);
    EXPECT_EQ(Get(d.Get(), u"k"), u"v");
}

TEST(Dispatch, EveryISSODataArrayMember) {
    ComPtr<ISSODataArray> a = NewArray();
    ComPtr<ISSOData> d = NewData();
    ASSERT_EQ(Call(a.Get(), u"AddItem", {Disp(d.Get())}), S_OK);
    ASSERT_EQ(Call(a.Get(), u"AddItem", {Of(VT_NULL)}), S_OK);
    ASSERT_EQ(Call(a.Get(), u"AddItem", {Of(VT_EMPTY)}), S_OK);
    Var size;
    ASSERT_EQ(Call(a.Get(), u"GetSize", {}, &size, DISPATCH_PROPERTYGET | DISPATCH_METHOD), S_OK);
    EXPECT_EQ(size.v.vt, VT_UI4);
    EXPECT_EQ(size.v.ulVal, 3u);
    Var item;
    ASSERT_EQ(Call(a.Get(), u"GetItemData", {I4(0)}, &item), S_OK);
    ASSERT_EQ(item.v.vt, VT_DISPATCH);
    EXPECT_EQ(Identity(item.v.pdispVal), Identity(d.Get()));
    Var empty;
    EXPECT_EQ(Call(a.Get(), u"GetItemData", {I4(1)}, &empty), E_FAIL) << "the method's own result";
    EXPECT_EQ(empty.v.vt, VT_EMPTY);
    EXPECT_EQ(Call(a.Get(), u"GetItemData", {I4(3)}, &empty), E_INVALIDARG);
    ASSERT_EQ(Call(a.Get(), u"ClearAllItem", {}), S_OK);
    ASSERT_EQ(Call(a.Get(), u"GetSize", {}, &size, DISPATCH_PROPERTYGET), S_OK);
    EXPECT_EQ(size.v.ulVal, 0u);
}

TEST(Dispatch, CallShapeErrors) {
    ComPtr<ISSOData> d = NewData();
    ComPtr<ISSODataArray> a = NewArray();
    Var r;
    EXPECT_EQ(Call(d.Get(), u"SetDataStr", {Str(u"k")}), DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(Call(d.Get(), u"SetDataStr", {Str(u"k"), Str(u"v"), Str(u"w")}),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(d.Get(), u"GetDataStr", {Str(u"k"), Str(u"retval")}, &r), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Call(a.Get(), u"ClearAllItem", {I4(1)}), DISP_E_BADPARAMCOUNT);
    // A method without a retval is not a property; nothing can be put.
    EXPECT_EQ(Call(d.Get(), u"SetDataStr", {Str(u"k"), Str(u"v")}, nullptr, DISPATCH_PROPERTYGET),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(Call(a.Get(), u"GetSize", {}, &r, DISPATCH_PROPERTYPUT), DISP_E_MEMBERNOTFOUND);
    // The missing-argument marker does not stand for a required argument.
    Var missing = Of(VT_ERROR);
    missing.v.scode = DISP_E_PARAMNOTFOUND;
    UINT err = 99;
    EXPECT_EQ(Call(d.Get(), u"SetDataStr", {Str(u"k"), missing}, nullptr, DISPATCH_METHOD, &err),
              DISP_E_PARAMNOTOPTIONAL);
    EXPECT_EQ(err, 0u);

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(d->Invoke(7, GUID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(a->Invoke(1, IID_IDispatch, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    VARIANT arg = I4(0).v;
    DISPID named = 0;
    DISPPARAMS with_name{&arg, &named, 1, 1};
    EXPECT_EQ(a->Invoke(4, GUID_NULL, 0, DISPATCH_METHOD, &with_name, &r.v, nullptr, nullptr),
              DISP_E_NONAMEDARGS);
    EXPECT_EQ(Get(d.Get(), u"k"), u"") << "no failed call stored anything";
}

// What each parameter type accepts. puArgErr counts from the end of rgvarg.
TEST(Dispatch, ArgumentCoercion) {
    ComPtr<ISSODataArray> a = NewArray();
    ComPtr<ISSOData> d = NewData();
    ComPtr<ISSODataArray> not_data = NewArray();
    ASSERT_EQ(a->AddItem(d.Get()), S_OK);
    ASSERT_EQ(a->AddItem(nullptr), S_OK);

    LONG one = 1;
    Var by_ref = Of(VT_BYREF | VT_I4);
    by_ref.v.plVal = &one;
    Var inner = I4(0);
    Var variant_ref = Of(VT_BYREF | VT_VARIANT);
    variant_ref.v.pvarVal = &inner.v;
    auto with = [](VARTYPE vt, auto set) {
        Var r = Of(vt);
        set(r.v);
        return r;
    };
    struct Case {
        const char* what;
        Var index;
        HRESULT hr;
    } cases[] = {
        {"I4", I4(0), S_OK},
        {"I2", with(VT_I2, [](VARIANT& v) { v.iVal = 0; }), S_OK},
        {"UI1", with(VT_UI1, [](VARIANT& v) { v.bVal = 0; }), S_OK},
        {"R8 rounds half to even", with(VT_R8, [](VARIANT& v) { v.dblVal = 0.5; }), S_OK},
        {"R8 1.5 is 2", with(VT_R8, [](VARIANT& v) { v.dblVal = 1.5; }), E_INVALIDARG},
        {"BSTR digits", Str(u" 0 "), S_OK},
        {"BSTR text", Str(u"zero"), DISP_E_TYPEMISMATCH},
        {"empty is 0", Of(VT_EMPTY), S_OK},
        {"null", Of(VT_NULL), DISP_E_TYPEMISMATCH},
        {"byref I4", by_ref, E_FAIL},
        {"byref variant", variant_ref, S_OK},
        {"negative", I4(-1), DISP_E_OVERFLOW},
        {"UI4 max", with(VT_UI4, [](VARIANT& v) { v.ulVal = 0xFFFFFFFFu; }), E_INVALIDARG},
        {"too large", with(VT_I8, [](VARIANT& v) { v.llVal = 1LL << 32; }), DISP_E_OVERFLOW},
        {"object", Disp(d.Get()), DISP_E_TYPEMISMATCH},
    };
    for (const Case& c : cases) {
        Var r;
        UINT err = 99;
        EXPECT_EQ(Call(a.Get(), u"GetItemData", {c.index}, &r, DISPATCH_METHOD, &err), c.hr)
            << c.what;
        if (c.hr == DISP_E_TYPEMISMATCH || c.hr == DISP_E_OVERFLOW) {
            EXPECT_EQ(err, 0u) << c.what;
        }
        EXPECT_EQ(r.v.vt, c.hr == S_OK ? VT_DISPATCH : VT_EMPTY) << c.what;
    }

    // Interface arguments are queried for the declared interface.
    UINT err = 99;
    EXPECT_EQ(Call(a.Get(), u"AddItem", {Disp(not_data.Get())}, nullptr, DISPATCH_METHOD, &err),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err, 0u);
    EXPECT_EQ(Call(a.Get(), u"AddItem", {I4(3)}), DISP_E_TYPEMISMATCH);
    Var unknown = Of(VT_UNKNOWN);
    unknown.v.punkVal = d.Get();
    d->AddRef();
    EXPECT_EQ(Call(a.Get(), u"AddItem", {unknown}), S_OK);

    // Strings: numbers become their text, the second argument's error is
    // reported at rgvarg index 0.
    struct Text {
        Var value;
        const char16_t* stored;
    } texts[] = {
        {I4(-42), u"-42"},
        {with(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), u"True"},
        {with(VT_R8, [](VARIANT& v) { v.dblVal = 1.25; }), u"1.25"},
        {Of(VT_EMPTY), u""},
    };
    for (const Text& t : texts) {
        ASSERT_EQ(Call(d.Get(), u"SetDataStr", {Str(u"n"), t.value}), S_OK);
        EXPECT_EQ(Get(d.Get(), u"n"), t.stored);
    }
    err = 99;
    EXPECT_EQ(
        Call(d.Get(), u"SetDataStr", {Str(u"n"), Of(VT_NULL)}, nullptr, DISPATCH_METHOD, &err),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err, 0u);
    err = 99;
    EXPECT_EQ(
        Call(d.Get(), u"SetDataStr", {Disp(d.Get()), Str(u"v")}, nullptr, DISPATCH_METHOD, &err),
        DISP_E_TYPEMISMATCH);
    EXPECT_EQ(err, 1u);
}

}  // namespace
}  // namespace corvo::data::test
