// One connection point of a container object: keeps the sinks advised for one
// outgoing interface. It lives inside its container and shares the
// container's lifetime: AddRef and Release go to the container, so a caller
// holding the connection point keeps the container alive.
#pragma once

#include <vector>

#include "control/enum_connections.h"
#include "platform/com/com.h"

namespace corvo {

class CConnectionPoint final : public IConnectionPoint {
  public:
    // `container` is the owner (not referenced); `iid` the outgoing interface.
    CConnectionPoint(IConnectionPointContainer* container, const IID& iid)
        : container_(container), iid_(iid) {}
    CConnectionPoint(const CConnectionPoint&) = delete;
    CConnectionPoint& operator=(const CConnectionPoint&) = delete;

    const IID& ConnectionInterface() const { return iid_; }
    size_t ConnectionCount() const { return connections_.size(); }

    // IUnknown: answers IUnknown and IConnectionPoint; counts on the container.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return container_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return container_->Release(); }

    // IConnectionPoint
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) override;
    HRESULT STDMETHODCALLTYPE
    GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    // Takes the sink's answer to QueryInterface for the outgoing interface
    // (CONNECT_E_CANNOTCONNECT without one). Cookies are never 0.
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  private:
    DWORD NewCookie();

    IConnectionPointContainer* container_;
    IID iid_;
    std::vector<Connection> connections_;  // in order of Advise
    DWORD next_cookie_ = 1;
};

}  // namespace corvo
