// HZ (RFC 1843, Windows code page 52936): 7-bit GB2312 text in which "~{"
// enters and "~}" leaves two-byte GB mode, "~~" stands for "~" and "~" before
// a line break continues the line. glibc has no converter for it, so these
// functions translate between HZ and EUC-CN (GB2312 with the high bits set),
// which iconv then converts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvo::platform {

// HZ bytes to EUC-CN bytes. Malformed escapes and pairs become the byte 0xFF,
// which no EUC-CN decoder accepts (so each turns into U+FFFD). A line break in
// GB mode returns to ASCII mode.
std::string HzToEucCn(const uint8_t* in, size_t count);

// EUC-CN bytes to HZ: runs of two-byte characters go between "~{" and "~}",
// "~" becomes "~~"; the text always ends in ASCII mode.
std::string EucCnToHz(const uint8_t* in, size_t count);

}  // namespace corvo::platform
