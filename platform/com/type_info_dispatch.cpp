// Windows only (see type_info_dispatch.h).
#ifdef _WIN32
#include "platform/com/type_info_dispatch.h"

#include <mutex>

#include "platform/com/com_ptr.h"
#include "platform/com/module_lock.h"

namespace corvo::com {
namespace {

struct CachedTypeInfo {
    const IID* iid = nullptr;
    // One reference each, held until ReleaseCache: the part calls go through
    // (a dual interface's vtable part), and the type information the library
    // gives for the IID (its dispinterface part), which GetTypeInfo hands out.
    ITypeInfo* info = nullptr;
    ITypeInfo* dispatch = nullptr;
};

// The ITypeInfo2 form of `info` when it offers one.
void PreferSecondForm(ComPtr<ITypeInfo>* info) {
    ComPtr<ITypeInfo2> second;
    if (SUCCEEDED((*info)->QueryInterface(IID_ITypeInfo2, second.OutVoid())) && second)
        *info = ComPtr<ITypeInfo>(second.Get());
}

// One slot per dual interface of the module; more than enough.
constexpr size_t kCacheSlots = 8;
CachedTypeInfo g_cache[kCacheSlots];

// The vtable part of a dual interface's type information (what Invoke calls
// through); any other type information as it is.
HRESULT InterfacePart(ComPtr<ITypeInfo>* info) {
    TYPEATTR* attributes = nullptr;
    HRESULT hr = (*info)->GetTypeAttr(&attributes);
    if (FAILED(hr)) return hr;
    const bool dualDispatch =
        attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
    (*info)->ReleaseTypeAttr(attributes);
    if (!dualDispatch) return S_OK;
    HREFTYPE vtable = 0;
    ComPtr<ITypeInfo> part;
    if (SUCCEEDED((*info)->GetRefTypeOfImplType(static_cast<UINT>(-1), &vtable)) &&
        SUCCEEDED((*info)->GetRefTypeInfo(vtable, part.Out())) && part)
        *info = part;
    return S_OK;
}

// The cached type information of `itf` (borrowed), loaded on first use:
// the part calls go through, or with `dispatchPart` the dispinterface part.
HRESULT TypeInfoOf(const LibraryDescription& library, const InterfaceDescription& itf, LCID lcid,
                   ITypeInfo** info, bool dispatchPart = false) {
    *info = nullptr;
    std::lock_guard<std::mutex> lock(ModuleLock::CriticalSection());
    for (const CachedTypeInfo& slot : g_cache) {
        if (slot.iid && IsEqualIID(*slot.iid, *itf.iid)) {
            *info = dispatchPart ? slot.dispatch : slot.info;
            return S_OK;
        }
    }
    ComPtr<ITypeLib> typeLibrary;
    HRESULT hr = ::LoadRegTypeLib(*library.libid, library.major_version, library.minor_version,
                                  lcid, typeLibrary.Out());
    if (FAILED(hr)) return hr;
    ComPtr<ITypeInfo> found;
    hr = typeLibrary->GetTypeInfoOfGuid(*itf.iid, found.Out());
    if (FAILED(hr)) return hr;
    if (!found) return E_UNEXPECTED;
    ComPtr<ITypeInfo> described = found;
    hr = InterfacePart(&found);
    if (FAILED(hr)) return hr;
    // Keep the ITypeInfo2 forms when the type information offers them.
    PreferSecondForm(&found);
    PreferSecondForm(&described);
    for (CachedTypeInfo& slot : g_cache) {
        if (!slot.iid) {
            slot.iid = itf.iid;
            slot.info = found.Detach();
            slot.dispatch = described.Detach();
            *info = dispatchPart ? slot.dispatch : slot.info;
            return S_OK;
        }
    }
    return E_OUTOFMEMORY;  // more interfaces than slots: a build fault
}

}  // namespace

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* pctinfo) {
    if (!pctinfo) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(const LibraryDescription& library,
                                      const InterfaceDescription& itf, UINT iTInfo, LCID lcid,
                                      ITypeInfo** ppTInfo) {
    if (!ppTInfo) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    ITypeInfo* info = nullptr;
    const HRESULT hr = TypeInfoOf(library, itf, lcid, &info, true);
    if (FAILED(hr)) return hr;
    info->AddRef();
    *ppTInfo = info;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetIDsOfNames(const LibraryDescription& library,
                                        const InterfaceDescription& itf, REFIID riid,
                                        LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                        DISPID* rgDispId) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT hr = TypeInfoOf(library, itf, lcid, &info);
    if (FAILED(hr)) return hr;
    return ::DispGetIDsOfNames(info, rgszNames, cNames, rgDispId);
}

HRESULT TypeInfoDispatch::Invoke(const LibraryDescription& library, const InterfaceDescription& itf,
                                 void* object, DISPID dispIdMember, REFIID riid, LCID lcid,
                                 WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                 EXCEPINFO* pExcepInfo, UINT* puArgErr) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    const HRESULT hr = TypeInfoOf(library, itf, lcid, &info);
    if (FAILED(hr)) return hr;
    return info->Invoke(object, dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo,
                        puArgErr);
}

void TypeInfoDispatch::ReleaseCache() {
    std::lock_guard<std::mutex> lock(ModuleLock::CriticalSection());
    for (CachedTypeInfo& slot : g_cache) {
        if (slot.info) slot.info->Release();
        if (slot.dispatch) slot.dispatch->Release();
        slot = {};
    }
}

}  // namespace corvo::com
#endif  // _WIN32
