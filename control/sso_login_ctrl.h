// CSSOLoginCtrl: the object behind the SSOLoginCtrl class, the scriptable
// control through which an allowed page lists the IM client's logged-in
// accounts and starts a quick login.
//
// Every ISSOLoginCtrl method starts with the site check (the gate): a page
// that the site lock refuses gets E_FAIL before any argument is looked at,
// and out arguments stay untouched. Then null out pointers give E_INVALIDARG,
// the out value is set to null, and the work is done.
#pragma once

#include <boost/shared_ptr.hpp>
#include <span>

#include "control/connection_point.h"
#include "control/control_version.h"
#include "control/object_safety_site_lock.h"
#include "corvo_sso_login.h"
#include "corvo_sso_login_dispatch.h"
#include "data/xparam_sl_helper.h"
#include "platform/com/com.h"
#include "platform/com/com_object.h"
#include "platform/com/com_ptr.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/support_error_info_impl.h"

namespace corvo {

// Options a page may enable through IObjectSafety.
inline constexpr DWORD kSupportedSafetyOptions =
    INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

class CSSOLoginCtrl : public com::ComObjectRoot,
                      public com::DispatchImpl<ISSOLoginCtrl>,
                      public com::SupportErrorInfoImpl<ISSOLoginCtrl>,
                      public IConnectionPointContainer,
                      public IObjectWithSite,
                      public IObjectSafetySiteLock {
  public:
    // Creates a control and hands out its `riid` interface. With an outer
    // object the control is created inside it (aggregated): `riid` must then
    // be IID_IUnknown and the outer object receives the control's
    // non-delegating IUnknown (see platform/com/com_agg_object.h).
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // In this order: ISSOLoginCtrl (also IUnknown), IDispatch,
    // ISupportErrorInfo, IConnectionPointContainer, IObjectSafety,
    // IObjectSafetySiteLock (the same pointer), IObjectWithSite.
    static std::span<const com::InterfaceEntry> InterfaceTable();

    // Creates the serialization helper; its failure fails the creation.
    HRESULT FinalConstruct();

    // ISSOLoginCtrl
    HRESULT STDMETHODCALLTYPE InitSSOLoginCtrl(ISSOData* pSSOData, LONG lReserved) override;
    HRESULT STDMETHODCALLTYPE GetQXClientVersion(BSTR* pOutVersion) override;
    HRESULT STDMETHODCALLTYPE CreateSSOData(ISSOData** ppOutSSOData) override;
    HRESULT STDMETHODCALLTYPE CreateSSODataArray(ISSODataArray** ppOutArray) override;
    HRESULT STDMETHODCALLTYPE GetUserList(LONG lFlag, LONG lIncludeSubAccount,
                                          ISSODataArray** ppOutArray) override;
    HRESULT STDMETHODCALLTYPE BeginSSOLogin(LONG lReserved, ISSOData* pSSOData,
                                            ISSOData** ppOutResult) override;
    HRESULT STDMETHODCALLTYPE GetSSOLoginCtrlVersion(BSTR* pOutVersion) override;

    // IConnectionPointContainer: one connection point, for _ISSOLoginCtrlEvents.
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* pUnkSite) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** ppvSite) override;

    // IObjectSafety
    HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                        DWORD* pdwEnabledOptions) override;
    HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                        DWORD dwEnabledOptions) override;

    // IObjectSafetySiteLock
    HRESULT STDMETHODCALLTYPE QuerySiteLockInfo(DWORD* pdwInfo) override;
    HRESULT STDMETHODCALLTYPE GetAllowedSiteList(const SiteLockEntry** ppEntries,
                                                 DWORD* pcEntries) override;
    HRESULT STDMETHODCALLTYPE GetSiteLockExpiry(DWORD* pdwFlags, ULONGLONG* pullExpiry) override;

  protected:
    CSSOLoginCtrl();
    ~CSSOLoginCtrl();

  private:
    // The gate: whether the page hosting the control (found afresh through
    // the stored site on every call) is allowed by the site lock.
    bool IsSiteAllowed() const;
    // Whether QueryInterface answers `riid` (S_OK), or its error.
    HRESULT SupportsInterface(REFIID riid);

    ComPtr<IUnknown> site_;
    DWORD safety_options_ = 0;
    CConnectionPoint events_;
    boost::shared_ptr<srlz::XParamSLHelper> helper_;
};

}  // namespace corvo
