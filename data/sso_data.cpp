#include "data/sso_data.h"

#include <new>

#include "platform/com/ole_text.h"

namespace corvo::data {
namespace {

// An incoming BSTR: the characters up to its first NUL; null is the empty string.
std::u16string_view Incoming(BSTR s) {
    return s ? std::u16string_view(AsUtf16(s)) : std::u16string_view();
}

}  // namespace

HRESULT CSSOData::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    return com::ComObject<CSSOData>::CreateInstance(outer, riid, ppv);
}

std::span<const com::InterfaceEntry> CSSOData::InterfaceTable() {
    static constexpr com::InterfaceEntry kTable[] = {
        com::Entry<CSSOData, ISSOData>(IID_ISSOData),
        com::Entry<CSSOData, ISSOData>(IID_IDispatch),
        com::Entry<CSSOData, ISupportErrorInfo>(IID_ISupportErrorInfo),
    };
    return kTable;
}

HRESULT CSSOData::GetDataStr(BSTR bstrName, BSTR* pOutData) {
    if (!pOutData) return E_INVALIDARG;
    *pOutData = nullptr;
    const auto it = entries_.find(Incoming(bstrName));
    const std::u16string_view value = it != entries_.end() ? std::u16string_view(it->second) : u"";
    BSTR out = SysAllocStringLen(AsOleText(value.data()), static_cast<UINT>(value.size()));
    if (!out) return E_OUTOFMEMORY;
    *pOutData = out;
    return S_OK;
}

HRESULT CSSOData::SetDataStr(BSTR bstrName, BSTR bstrValue) {
    try {
        Text value(Incoming(bstrValue));
        Text name(Incoming(bstrName));
        // Replacing moves the new value in without allocating; inserting
        // allocates the node first, so a failure leaves the map as it was.
        entries_.insert_or_assign(std::move(name), std::move(value));
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CSSOData::GetDataDword(BSTR, ULONG*) {
    return NotImplemented();
}
HRESULT CSSOData::GetDataLong(BSTR, LONG*) {
    return NotImplemented();
}
HRESULT CSSOData::SetDataDword(BSTR, ULONG) {
    return NotImplemented();
}
HRESULT CSSOData::SetDataLong(BSTR, LONG) {
    return NotImplemented();
}

}  // namespace corvo::data
