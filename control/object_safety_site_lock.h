// IObjectSafetySiteLock: IObjectSafety extended with what a browser asks a
// site-locked control about its lock (the allowed-site table, its expiry).
#pragma once

#include "platform/com/com.h"

namespace corvo {

struct SiteLockEntry;

inline constexpr IID IID_IObjectSafetySiteLock = MakeGuid("2AE28836-DE7D-487F-AEAE-E4240881AF13");

// QuerySiteLockInfo: what is asked (in) and the answer (out).
inline constexpr DWORD kSiteLockQueryVersion = 0;       // answer kSiteLockVersion
inline constexpr DWORD kSiteLockQueryCapabilities = 1;  // answer 0
inline constexpr DWORD kSiteLockVersion = 0x00010015;

struct IObjectSafetySiteLock : IObjectSafety {
    // In: kSiteLockQuery*; out: the answer. Other queries: 0 and E_NOTIMPL.
    virtual HRESULT STDMETHODCALLTYPE QuerySiteLockInfo(DWORD* pdwInfo) = 0;
    // The allowed-site table (owned by the control, valid for the process).
    virtual HRESULT STDMETHODCALLTYPE GetAllowedSiteList(const SiteLockEntry** ppEntries,
                                                         DWORD* pcEntries) = 0;
    // The lock does not expire: both outputs 0 and E_NOTIMPL.
    virtual HRESULT STDMETHODCALLTYPE GetSiteLockExpiry(DWORD* pdwFlags, ULONGLONG* pullExpiry) = 0;

  protected:
    ~IObjectSafetySiteLock() = default;
};

}  // namespace corvo
