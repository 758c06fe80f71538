#include "control/enum_connections.h"

#include "control/enum_snapshot.h"

namespace corvo {

namespace {

struct ConnectionPolicy {
    using Stored = Connection;
    static void CopyOut(const Connection& from, CONNECTDATA* to) {
        to->pUnk = from.sink.Get();
        if (to->pUnk) to->pUnk->AddRef();
        to->dwCookie = from.cookie;
    }
};

using CEnumConnections =
    CEnumSnapshot<IEnumConnections, CONNECTDATA, IID_IEnumConnections, ConnectionPolicy>;

}  // namespace

HRESULT CreateEnumConnections(const std::vector<Connection>& connections, IEnumConnections** out) {
    return CEnumConnections::CreateFrom(connections, out);
}

}  // namespace corvo
