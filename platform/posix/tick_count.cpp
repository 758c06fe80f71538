#include "platform/tick_count.h"

#include <time.h>

namespace corvo::platform {

uint32_t GetTickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u);
}

}  // namespace corvo::platform
