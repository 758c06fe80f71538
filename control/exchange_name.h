// Names of exchange blocks and completion events.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace corvo::control {

// The name used instead of a GUID when none can be made; the tick count follows.
inline constexpr std::u16string_view kFallbackNamePrefix =
    u"{926732A3-3744-4276-8586-E157C08E1F5D}";

// The IM client publishes each logged-in account's user document in a block
// named by this prefix followed directly by the account's full user ID.
inline constexpr std::u16string_view kUserBlockPrefix = u"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}";

using GuidSource = HRESULT (*)(GUID*);
using TickSource = uint32_t (*)();

// A new name: a new random GUID in registry form (38 characters, upper-case
// hexadecimal); when no GUID can be made, the fallback prefix followed by the
// millisecond tick count formatted with "%d" (a count above 2^31-1 reads as a
// negative number). The sources default to the operating system's.
std::u16string MakeExchangeName(GuidSource createGuid, TickSource tickCount);
std::u16string MakeExchangeName();

// The name of the block holding the user document of `fullUserId`.
std::u16string MakeUserBlockName(std::u16string_view fullUserId);

}  // namespace corvo::control
