// Helpers shared by the data object tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "corvo_sso_login.h"
#include "data/sso_data.h"
#include "data/sso_data_array.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"

namespace corvo::data::test {

inline ComPtr<ISSOData> NewData() {
    ComPtr<ISSOData> p;
    EXPECT_EQ(CSSOData::CreateInstance(nullptr, IID_ISSOData, p.OutVoid()), S_OK);
    return p;
}

inline ComPtr<ISSODataArray> NewArray() {
    ComPtr<ISSODataArray> p;
    EXPECT_EQ(CSSODataArray::CreateInstance(nullptr, IID_ISSODataArray, p.OutVoid()), S_OK);
    return p;
}

// The value under `name` as GetDataStr returns it.
inline std::u16string GetRaw(ISSOData* data, BSTR name) {
    BstrPtr out;
    EXPECT_EQ(data->GetDataStr(name, out.Out()), S_OK);
    EXPECT_TRUE(out) << "GetDataStr must hand out a non-null BSTR";
    return std::u16string(out.View());
}

inline HRESULT Set(ISSOData* data, std::u16string_view name, std::u16string_view value) {
    BstrPtr n = BstrPtr::FromText(name), v = BstrPtr::FromText(value);
    return data->SetDataStr(n.Get(), v.Get());
}

inline std::u16string Get(ISSOData* data, std::u16string_view name) {
    BstrPtr n = BstrPtr::FromText(name);
    return GetRaw(data, n.Get());
}

inline IUnknown* Identity(IUnknown* p) {
    IUnknown* unknown = nullptr;
    EXPECT_EQ(p->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    if (unknown) unknown->Release();
    return unknown;
}

// An ISSOData that only counts its references (it is never deleted by them),
// optionally running a callback when the count drops to zero.
class ProbeData final : public ISSOData {
  public:
    ULONG refs = 0;
    void (*on_last_release)(ProbeData*) = nullptr;
    void* context = nullptr;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch) &&
            !IsEqualIID(riid, IID_ISSOData))
            return E_NOINTERFACE;
        *ppv = static_cast<ISSOData*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override {
        EXPECT_GT(refs, 0u) << "released more often than referenced";
        if (--refs == 0 && on_last_release) on_last_release(this);
        return refs;
    }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    HRESULT GetDataStr(BSTR, BSTR*) override { return E_NOTIMPL; }
    HRESULT GetDataDword(BSTR, ULONG*) override { return E_NOTIMPL; }
    HRESULT GetDataLong(BSTR, LONG*) override { return E_NOTIMPL; }
    HRESULT SetDataStr(BSTR, BSTR) override { return E_NOTIMPL; }
    HRESULT SetDataDword(BSTR, ULONG) override { return E_NOTIMPL; }
    HRESULT SetDataLong(BSTR, LONG) override { return E_NOTIMPL; }
};

}  // namespace corvo::data::test
