// TypeInfoDispatch: IDispatch of a dual interface answered from the
// registered type library, as script hosts on Windows expect it.
//
// On first use the library is loaded with LoadRegTypeLib (its LIBID, its
// version, the caller's locale) and the interface's type information taken
// from it by IID with GetTypeInfoOfGuid: for a dual interface that is its
// dispinterface part, which GetTypeInfo hands out as browsing tools expect;
// GetIDsOfNames and Invoke go through the vtable part that
// GetRefTypeOfImplType(-1) names (ITypeInfo::GetIDsOfNames,
// ITypeInfo::Invoke), so arguments are coerced as the library declares them
// and a method that fails reaches the caller as DISP_E_EXCEPTION with its
// HRESULT in EXCEPINFO::scode. Each part is kept in its ITypeInfo2 form when it
// offers one. Both are cached for the module's lifetime, created once under
// the module's critical section; a failure to load is returned to the caller
// and tried again on the next call.
//
// Windows only; elsewhere StaticDispatch takes its place (dispatch_impl.h).
#pragma once

#include "platform/com/com.h"
#include "platform/com/dispatch_description.h"

namespace corvo::com {

class TypeInfoDispatch {
  public:
    static HRESULT GetTypeInfoCount(UINT* pctinfo);
    static HRESULT GetTypeInfo(const LibraryDescription& library, const InterfaceDescription& itf,
                               UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
    static HRESULT GetIDsOfNames(const LibraryDescription& library, const InterfaceDescription& itf,
                                 REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                 DISPID* rgDispId);
    static HRESULT Invoke(const LibraryDescription& library, const InterfaceDescription& itf,
                          void* object, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                          DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                          UINT* puArgErr);

    // Releases the cached type information (when the module unloads).
    static void ReleaseCache();
};

}  // namespace corvo::com
