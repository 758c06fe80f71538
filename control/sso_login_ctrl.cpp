#include "control/sso_login_ctrl.h"

#include <boost/smart_ptr/make_shared.hpp>
#include <cstdint>
#include <exception>
#include <new>
#include <string>

#include "control/client_version.h"
#include "control/enum_connection_points.h"
#include "control/quick_login.h"
#include "control/site_lock.h"
#include "control/user_discovery.h"
#include "data/sso_data.h"
#include "data/sso_data_array.h"
#include "platform/com/allocation_fault_injection.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_agg_object.h"
#include "platform/page_location.h"

namespace corvo {

namespace {

// Answers to QuerySiteLockInfo.
constexpr DWORD kSiteLockCapabilities = 0;

// The tail shared by the methods that hand out an interface or a string:
// a null out pointer is E_INVALIDARG, otherwise the out value starts null.
template <class T>
bool ClearOut(T** out) {
    if (!out) return false;
    *out = nullptr;
    return true;
}

// A new data object of class `Impl`, handed out as `iid` through `out`.
template <class Impl, class Interface>
HRESULT CreateDataObject(REFIID iid, Interface** out) {
    if (!ClearOut(out)) return E_INVALIDARG;
    try {
        return Impl::CreateInstance(nullptr, iid, reinterpret_cast<void**>(out));
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace

CSSOLoginCtrl::CSSOLoginCtrl() : events_(this, DIID__ISSOLoginCtrlEvents) {}

CSSOLoginCtrl::~CSSOLoginCtrl() = default;

HRESULT CSSOLoginCtrl::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    return com::CreateAggregatable<CSSOLoginCtrl>(outer, riid, ppv);
}

std::span<const com::InterfaceEntry> CSSOLoginCtrl::InterfaceTable() {
    static constexpr com::InterfaceEntry kTable[] = {
        com::Entry<CSSOLoginCtrl, ISSOLoginCtrl>(IID_ISSOLoginCtrl),
        com::Entry<CSSOLoginCtrl, IDispatch>(IID_IDispatch),
        com::Entry<CSSOLoginCtrl, ISupportErrorInfo>(IID_ISupportErrorInfo),
        com::Entry<CSSOLoginCtrl, IConnectionPointContainer>(IID_IConnectionPointContainer),
        com::Entry<CSSOLoginCtrl, IObjectSafety>(IID_IObjectSafety),
        com::Entry<CSSOLoginCtrl, IObjectSafetySiteLock>(IID_IObjectSafetySiteLock),
        com::Entry<CSSOLoginCtrl, IObjectWithSite>(IID_IObjectWithSite),
    };
    return kTable;
}

HRESULT CSSOLoginCtrl::FinalConstruct() {
    try {
        helper_ = boost::allocate_shared<srlz::XParamSLHelper>(
            com::FaultInjectingAllocator<srlz::XParamSLHelper>());
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

bool CSSOLoginCtrl::IsSiteAllowed() const {
    try {
        std::u16string address;
        int32_t zone = platform::kZoneUnknown;
        if (!platform::GetPageAddressAndZone(site_.Get(), &address, &zone)) return false;
        return CSiteLock::IsAddressAllowed(address.data(), address.size(), zone);
    } catch (...) {
        return false;  // any failure while finding or judging the page refuses it
    }
}

HRESULT CSSOLoginCtrl::SupportsInterface(REFIID riid) {
    // Through the object's own IUnknown: inside an aggregate that is the
    // controlling unknown, so the outer object's interfaces count too.
    ComPtr<IUnknown> itf;
    return static_cast<ISSOLoginCtrl*>(this)->QueryInterface(riid, itf.OutVoid());
}

// --- ISSOLoginCtrl -----------------------------------------------------------

HRESULT CSSOLoginCtrl::InitSSOLoginCtrl(ISSOData*, LONG) {
    return IsSiteAllowed() ? S_OK : E_FAIL;
}

HRESULT CSSOLoginCtrl::GetQXClientVersion(BSTR* pOutVersion) {
    if (!IsSiteAllowed()) return E_FAIL;
    if (!pOutVersion) return E_INVALIDARG;
    // The lookup never fails the call: any failure gives the empty version.
    // Out of memory leaves the out value untouched.
    BstrPtr version = BstrPtr::FromText(control::LookUpClientVersion(*helper_));
    if (!version) return E_OUTOFMEMORY;
    *pOutVersion = version.Detach();
    return S_OK;
}

HRESULT CSSOLoginCtrl::CreateSSOData(ISSOData** ppOutSSOData) {
    if (!IsSiteAllowed()) return E_FAIL;
    return CreateDataObject<data::CSSOData>(IID_ISSOData, ppOutSSOData);
}

HRESULT CSSOLoginCtrl::CreateSSODataArray(ISSODataArray** ppOutArray) {
    if (!IsSiteAllowed()) return E_FAIL;
    return CreateDataObject<data::CSSODataArray>(IID_ISSODataArray, ppOutArray);
}

HRESULT CSSOLoginCtrl::GetUserList(LONG lFlag, LONG lIncludeSubAccount,
                                   ISSODataArray** ppOutArray) {
    if (!IsSiteAllowed()) return E_FAIL;
    if (!ClearOut(ppOutArray)) return E_INVALIDARG;
    // The array and its items come from this control's own creation methods,
    // so each of them passes the gate again.
    return control::ListLoggedInAccounts(static_cast<ISSOLoginCtrl*>(this), *helper_, lFlag,
                                         lIncludeSubAccount, ppOutArray);
}

HRESULT CSSOLoginCtrl::BeginSSOLogin(LONG lReserved, ISSOData* pSSOData, ISSOData** ppOutResult) {
    if (!IsSiteAllowed()) return E_FAIL;
    if (!pSSOData || !ppOutResult) return E_INVALIDARG;
    *ppOutResult = nullptr;
    return control::BeginQuickLogin(*helper_, lReserved, pSSOData, ppOutResult);
}

HRESULT CSSOLoginCtrl::GetSSOLoginCtrlVersion(BSTR* pOutVersion) {
    if (!IsSiteAllowed()) return E_FAIL;
    if (!pOutVersion) return E_INVALIDARG;
    // Out of memory leaves the out value untouched.
    BstrPtr version = BstrPtr::FromText(kSSOLoginCtrlVersion);
    if (!version) return E_OUTOFMEMORY;
    *pOutVersion = version.Detach();
    return S_OK;
}

// --- IConnectionPointContainer -----------------------------------------------

HRESULT CSSOLoginCtrl::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
    try {
        return CreateEnumConnectionPoints({ComPtr<IConnectionPoint>(&events_)}, ppEnum);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT CSSOLoginCtrl::FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    if (!IsEqualIID(riid, events_.ConnectionInterface())) return CONNECT_E_NOCONNECTION;
    *ppCP = ComPtr<IConnectionPoint>(&events_).Detach();
    return S_OK;
}

// --- IObjectWithSite ---------------------------------------------------------

HRESULT CSSOLoginCtrl::SetSite(IUnknown* pUnkSite) {
    if (pUnkSite != site_.Get()) site_ = ComPtr<IUnknown>(pUnkSite);
    // The site stays stored even when its page is refused.
    return IsSiteAllowed() ? S_OK : E_FAIL;
}

HRESULT CSSOLoginCtrl::GetSite(REFIID riid, void** ppvSite) {
    if (!ppvSite) return E_POINTER;
    if (!site_) {
        *ppvSite = nullptr;
        return E_FAIL;
    }
    return site_->QueryInterface(riid, ppvSite);
}

// --- IObjectSafety -----------------------------------------------------------

HRESULT CSSOLoginCtrl::GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                 DWORD* pdwEnabledOptions) {
    if (!pdwSupportedOptions || !pdwEnabledOptions) return E_POINTER;
    HRESULT hr = SupportsInterface(riid);
    if (FAILED(hr)) {
        *pdwSupportedOptions = 0;
        *pdwEnabledOptions = 0;
        return hr;
    }
    *pdwSupportedOptions = kSupportedSafetyOptions;
    *pdwEnabledOptions = IsSiteAllowed() ? safety_options_ : 0;
    return S_OK;
}

HRESULT CSSOLoginCtrl::SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                 DWORD dwEnabledOptions) {
    HRESULT hr = SupportsInterface(riid);
    if (FAILED(hr)) return hr;
    if (dwOptionSetMask & ~kSupportedSafetyOptions) return E_FAIL;
    safety_options_ = (safety_options_ & ~dwOptionSetMask) | (dwEnabledOptions & dwOptionSetMask);
    return S_OK;
}

// --- IObjectSafetySiteLock ---------------------------------------------------

HRESULT CSSOLoginCtrl::QuerySiteLockInfo(DWORD* pdwInfo) {
    if (!pdwInfo) return E_POINTER;
    switch (*pdwInfo) {
        case kSiteLockQueryVersion:
            *pdwInfo = kSiteLockVersion;
            return S_OK;
        case kSiteLockQueryCapabilities:
            *pdwInfo = kSiteLockCapabilities;
            return S_OK;
        default:
            *pdwInfo = 0;
            return E_NOTIMPL;
    }
}

HRESULT CSSOLoginCtrl::GetAllowedSiteList(const SiteLockEntry** ppEntries, DWORD* pcEntries) {
    if (!ppEntries || !pcEntries) return E_POINTER;
    *ppEntries = CSiteLock::Table();
    *pcEntries = CSiteLock::kEntryCount;
    return S_OK;
}

HRESULT CSSOLoginCtrl::GetSiteLockExpiry(DWORD* pdwFlags, ULONGLONG* pullExpiry) {
    if (!pdwFlags || !pullExpiry) return E_POINTER;
    *pdwFlags = 0;
    *pullExpiry = 0;
    return E_NOTIMPL;
}

}  // namespace corvo
