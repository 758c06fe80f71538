// One WM_COPYDATA message as its receiver sees it.
#pragma once

#include <cstdint>
#include <vector>

namespace corvo::platform {

struct CopyDataMessage {
    uint64_t wParam = 0;
    uint64_t dwData = 0;
    std::vector<uint8_t> data;  // the bytes lpData points to, cbData of them
};

}  // namespace corvo::platform
