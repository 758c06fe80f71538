// GUID text in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}":
// 38 characters, upper-case hex, as StringFromGUID2 writes it.
#pragma once

#include <string>
#include <string_view>

namespace corvo {

inline constexpr size_t kGuidTextLength = 38;

std::u16string GuidToText(const GUID& guid);
std::string GuidToAscii(const GUID& guid);
// Accepts exactly the registry form (braces required, hex of either case).
bool GuidFromText(std::u16string_view text, GUID* guid);
bool GuidFromAscii(std::string_view text, GUID* guid);

}  // namespace corvo
