#include "data/sso_data_array.h"

#include <limits>
#include <new>

namespace corvo::data {

HRESULT CSSODataArray::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    return com::ComObject<CSSODataArray>::CreateInstance(outer, riid, ppv);
}

std::span<const com::InterfaceEntry> CSSODataArray::InterfaceTable() {
    static constexpr com::InterfaceEntry kTable[] = {
        com::Entry<CSSODataArray, ISSODataArray>(IID_ISSODataArray),
        com::Entry<CSSODataArray, ISSODataArray>(IID_IDispatch),
        com::Entry<CSSODataArray, ISupportErrorInfo>(IID_ISupportErrorInfo),
    };
    return kTable;
}

HRESULT CSSODataArray::GetSize(ULONG* lSize) {
    if (!lSize) return E_INVALIDARG;
    *lSize = static_cast<ULONG>(items_.size());
    return S_OK;
}

HRESULT CSSODataArray::AddItem(ISSOData* pSSOData) {
    // The count is a 32-bit number; growing beyond it is treated like growing
    // beyond memory: the array stays as it was.
    if (items_.size() >= std::numeric_limits<ULONG>::max()) return E_OUTOFMEMORY;
    try {
        items_.emplace_back(pSSOData);  // the reference is taken once the slot exists
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CSSODataArray::ClearAllItem() {
    // Empty the array before giving the references back, so that code run by
    // a final Release finds a consistent (empty) array.
    auto released = std::move(items_);
    items_.clear();
    return S_OK;
}

HRESULT CSSODataArray::GetItemData(ULONG lIndex, ISSOData** ppOutData) {
    if (!ppOutData) return E_INVALIDARG;
    *ppOutData = nullptr;
    if (lIndex >= items_.size()) return E_INVALIDARG;
    ISSOData* item = items_[lIndex].Get();
    if (!item) return E_FAIL;
    item->AddRef();
    *ppOutData = item;
    return S_OK;
}

}  // namespace corvo::data
