// The result convention shared by the converters behind the code-page layer.
// Each converter takes (input, input count, output, capacity): a null output
// asks for the number of units needed; otherwise it writes at most `capacity`
// units. It returns the number of units, or one of the two codes below.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvo::platform {

inline constexpr size_t kConversionNoRoom = SIZE_MAX;      // output too small
inline constexpr size_t kConversionFailed = SIZE_MAX - 1;  // converter unavailable

inline bool ConversionSucceeded(size_t result) {
    return result < kConversionFailed;
}

}  // namespace corvo::platform
