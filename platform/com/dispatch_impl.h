// DispatchImpl<Interface>: the four IDispatch methods of a dual interface,
// served by StaticDispatch from the interface's generated description.
#pragma once

#include "platform/com/dispatch_description.h"
#include "platform/com/static_dispatch.h"

namespace corvo::com {

template <class Interface>
class DispatchImpl : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        return StaticDispatch::GetTypeInfoCount(pctinfo);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
        return StaticDispatch::GetTypeInfo(iTInfo, lcid, ppTInfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override {
        return StaticDispatch::GetIDsOfNames(InterfaceTraits<Interface>::description, riid,
                                             rgszNames, cNames, lcid, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        return StaticDispatch::Invoke(InterfaceTraits<Interface>::description,
                                      static_cast<Interface*>(this), dispIdMember, riid, lcid,
                                      wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    }

  protected:
    ~DispatchImpl() = default;
};

}  // namespace corvo::com
