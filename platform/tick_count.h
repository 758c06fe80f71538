// Milliseconds since the system started, wrapping at 2^32 (the GetTickCount
// stand-in; the monotonic clock, so it never jumps with the wall clock).
#pragma once

#include <cstdint>

namespace corvo::platform {

uint32_t GetTickCount();

}  // namespace corvo::platform
