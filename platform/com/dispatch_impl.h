// DispatchImpl<Interface>: the four IDispatch methods of a dual interface.
// On Windows they are answered from the registered type library
// (TypeInfoDispatch); elsewhere StaticDispatch serves them from the
// interface's generated description.
#pragma once

#include "platform/com/dispatch_description.h"
#ifdef _WIN32
#include "platform/com/type_info_dispatch.h"
#else
#include "platform/com/static_dispatch.h"
#endif

namespace corvo::com {

#ifdef _WIN32
template <class Interface>
class DispatchImpl : public Interface {
    using Traits = InterfaceTraits<Interface>;

  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        return TypeInfoDispatch::GetTypeInfoCount(pctinfo);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
        return TypeInfoDispatch::GetTypeInfo(Traits::library, Traits::description, iTInfo, lcid,
                                             ppTInfo);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override {
        return TypeInfoDispatch::GetIDsOfNames(Traits::library, Traits::description, riid,
                                               rgszNames, cNames, lcid, rgDispId);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override {
        return TypeInfoDispatch::Invoke(Traits::library, Traits::description,
                                        static_cast<Interface*>(this), dispIdMember, riid, lcid,
                                        wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
    }

  protected:
    ~DispatchImpl() = default;
};

// Releases what the type-information dispatch caches (at module unload).
inline void ReleaseDispatchCache() {
    TypeInfoDispatch::ReleaseCache();
}
#else
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

// The static tables cache nothing.
inline void ReleaseDispatchCache() {}
#endif

}  // namespace corvo::com
