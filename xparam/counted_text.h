// The library's pointer + length convention for strings: a length of -1 means
// the string runs up to its terminating NUL, a null pointer is the empty
// string, any other length is taken exactly (embedded NULs included).
#pragma once

#include <cstddef>
#include <cstdint>

namespace xparam {

// The real length of a counted string, in units of CharT.
template <class CharT>
constexpr size_t CountedLength(const CharT* text, int32_t length) {
    if (text == nullptr) return 0;
    if (length >= 0) return static_cast<size_t>(length);
    size_t n = 0;
    while (text[n] != CharT{}) ++n;
    return n;
}

}  // namespace xparam
