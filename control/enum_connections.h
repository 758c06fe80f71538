// IEnumConnections over a snapshot of a connection point's sinks.
#pragma once

#include <vector>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo {

// One advised sink and its cookie.
struct Connection {
    DWORD cookie;
    ComPtr<IUnknown> sink;
};

// A new enumerator over copies of `connections` (references added), with one
// reference for the caller.
HRESULT CreateEnumConnections(const std::vector<Connection>& connections, IEnumConnections** out);

}  // namespace corvo
