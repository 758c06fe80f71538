// CSSOData: the SSOData automation object, a map from names to string values
// that pages and the login control exchange account data through.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>

#include "corvo_sso_login.h"
#include "corvo_sso_login_dispatch.h"
#include "platform/com/allocation_fault_injection.h"
#include "platform/com/com_object.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info_impl.h"

namespace corvo::data {

class CSSOData : public com::ComObjectRoot,
                 public com::DispatchImpl<ISSOData>,
                 public com::SupportErrorInfoImpl<ISSOData> {
  public:
    // Creates an empty object and queries it for `riid` (see ComObject).
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);
    // IUnknown and IDispatch answer with the ISSOData pointer.
    static std::span<const com::InterfaceEntry> InterfaceTable();

    // ISSOData
    HRESULT STDMETHODCALLTYPE GetDataStr(BSTR bstrName, BSTR* pOutData) override;
    HRESULT STDMETHODCALLTYPE GetDataDword(BSTR bstrName, ULONG* pOutData) override;
    HRESULT STDMETHODCALLTYPE GetDataLong(BSTR bstrName, LONG* pOutData) override;
    HRESULT STDMETHODCALLTYPE SetDataStr(BSTR bstrName, BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE SetDataDword(BSTR bstrName, ULONG lValue) override;
    HRESULT STDMETHODCALLTYPE SetDataLong(BSTR bstrName, LONG lValue) override;

  protected:
    CSSOData() = default;
    ~CSSOData() = default;

  private:
    using Text = std::basic_string<char16_t, std::char_traits<char16_t>,
                                   com::FaultInjectingAllocator<char16_t>>;
    using Entries = std::map<Text, Text, std::less<>,
                             com::FaultInjectingAllocator<std::pair<const Text, Text>>>;

    // The numeric members are not implemented; they share this body.
    static HRESULT NotImplemented() { return E_NOTIMPL; }

    Entries entries_;  // ordered by UTF-16 code units, case-sensitive
};

}  // namespace corvo::data
