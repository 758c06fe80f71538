// A new random GUID (version 4, RFC 4122 variant) from the operating system's
// random source: the CoCreateGuid stand-in.
#pragma once

#include "platform/com/com.h"

namespace corvo::platform {

// Fills `guid` and returns S_OK, or returns a failure code (and leaves `guid`
// unchanged) when the random source cannot deliver.
HRESULT CreateRandomGuid(GUID* guid);

}  // namespace corvo::platform
