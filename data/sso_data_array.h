// CSSODataArray: the SSODataArray automation object, an ordered list of
// ISSOData references (null entries allowed) that pages read by index.
#pragma once

#include <span>
#include <vector>

#include "corvo_sso_login.h"
#include "corvo_sso_login_dispatch.h"
#include "platform/com/allocation_fault_injection.h"
#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info_impl.h"

namespace corvo::data {

class CSSODataArray : public com::ComObjectRoot,
                      public com::DispatchImpl<ISSODataArray>,
                      public com::SupportErrorInfoImpl<ISSODataArray> {
  public:
    // Creates an empty array and queries it for `riid` (see ComObject).
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);
    // IUnknown and IDispatch answer with the ISSODataArray pointer.
    static std::span<const com::InterfaceEntry> InterfaceTable();

    // ISSODataArray
    HRESULT STDMETHODCALLTYPE GetSize(ULONG* lSize) override;
    HRESULT STDMETHODCALLTYPE AddItem(ISSOData* pSSOData) override;
    HRESULT STDMETHODCALLTYPE ClearAllItem() override;
    HRESULT STDMETHODCALLTYPE GetItemData(ULONG lIndex, ISSOData** ppOutData) override;

  protected:
    CSSODataArray() = default;
    ~CSSODataArray() = default;

  private:
    using Item = ComPtr<ISSOData>;
    std::vector<Item, com::FaultInjectingAllocator<Item>> items_;  // each holds one reference
};

}  // namespace corvo::data
