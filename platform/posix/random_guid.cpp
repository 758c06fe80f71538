#include "platform/random_guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace corvo::platform {

HRESULT CreateRandomGuid(GUID* guid) {
    if (guid == nullptr) return E_POINTER;
    uint8_t bytes[16];
    size_t done = 0;
    while (done < sizeof bytes) {
        const ssize_t n = getrandom(bytes + done, sizeof bytes - done, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return E_FAIL;
        done += size_t(n);
    }
    // The version and variant fields, in the byte order of the registry form.
    bytes[6] = uint8_t((bytes[6] & 0x0F) | 0x40);
    bytes[8] = uint8_t((bytes[8] & 0x3F) | 0x80);
    GUID g{};
    g.Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    g.Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    g.Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    *guid = g;
    return S_OK;
}

}  // namespace corvo::platform
