#include "platform/random_guid.h"

namespace corvo::platform {

HRESULT CreateRandomGuid(GUID* guid) {
    if (guid == nullptr) return E_POINTER;
    GUID fresh;
    const HRESULT hr = ::CoCreateGuid(&fresh);
    if (FAILED(hr)) return hr;
    *guid = fresh;
    return S_OK;
}

}  // namespace corvo::platform
