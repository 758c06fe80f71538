// IDispatch served from a static interface description (generated from the IDL
// file) instead of a type library. See docs/architecture.md, "IDispatch without
// a type library", for the rules it follows.
#pragma once

#include "platform/com/com.h"
#include "platform/com/dispatch_description.h"

namespace corvo::com {

class StaticDispatch {
  public:
    // Stores 1 (one type information); E_POINTER for a null pointer.
    static HRESULT GetTypeInfoCount(UINT* pctinfo);
    // There is no type information object on this platform: *ppTInfo is set
    // to null and the result is DISP_E_BADINDEX for an index other than 0,
    // E_NOTIMPL otherwise (E_POINTER for a null ppTInfo).
    static HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
    // Member names and then parameter names, matched without regard to ASCII
    // letter case. Unknown names get DISPID_UNKNOWN and the result
    // DISP_E_UNKNOWNNAME; parameter DISPIDs are their zero-based positions.
    static HRESULT GetIDsOfNames(const InterfaceDescription& itf, REFIID riid, LPOLESTR* rgszNames,
                                 UINT cNames, LCID lcid, DISPID* rgDispId);
    // Converts the arguments to the declared parameter types, calls the method
    // through the description's thunk and returns its HRESULT as is.
    static HRESULT Invoke(const InterfaceDescription& itf, void* object, DISPID dispIdMember,
                          REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                          VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
};

}  // namespace corvo::com
