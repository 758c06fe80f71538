#include "control/connection_point.h"

#include <algorithm>
#include <new>
#include <utility>

namespace corvo {

HRESULT CConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

HRESULT CConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    *pIID = iid_;
    return S_OK;
}

HRESULT CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    container_->AddRef();
    *ppCPC = container_;
    return S_OK;
}

DWORD CConnectionPoint::NewCookie() {
    // A cookie is unique among the live connections; after the counter wraps,
    // cookies still in use are skipped.
    for (;;) {
        DWORD cookie = next_cookie_++;
        if (next_cookie_ == 0) next_cookie_ = 1;
        if (std::none_of(connections_.begin(), connections_.end(),
                         [cookie](const Connection& c) { return c.cookie == cookie; }))
            return cookie;
    }
}

HRESULT CConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (!pdwCookie) return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink) return E_POINTER;
    ComPtr<IUnknown> sink;
    if (FAILED(pUnkSink->QueryInterface(iid_, sink.OutVoid())) || !sink)
        return CONNECT_E_CANNOTCONNECT;
    try {
        connections_.push_back(Connection{NewCookie(), std::move(sink)});
    } catch (const std::bad_alloc&) {
        return CONNECT_E_ADVISELIMIT;
    }
    *pdwCookie = connections_.back().cookie;
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(DWORD dwCookie) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [dwCookie](const Connection& c) { return c.cookie == dwCookie; });
    if (dwCookie == 0 || it == connections_.end()) return CONNECT_E_NOCONNECTION;
    // The sink's last Release may call back into this object: take it out of
    // the list first.
    ComPtr<IUnknown> sink = std::move(it->sink);
    connections_.erase(it);
    return S_OK;
}

HRESULT CConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    return CreateEnumConnections(connections_, ppEnum);
}

}  // namespace corvo
