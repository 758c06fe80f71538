// CopyShort: memcpy for the short names and texts of documents, without a
// call for up to 32 bytes (two overlapping moves of the widest size that
// fits). The reader copies names and texts into its pages with it, the writer
// its pieces of output.
#pragma once

#include <cstddef>

#include "platform/compiler.h"

namespace xparam {

namespace short_copy_detail {

template <std::size_t kBytes>
CORVO_ALWAYS_INLINE void Move(char* d, const char* s) noexcept {
    char chunk[kBytes];
    __builtin_memcpy(chunk, s, kBytes);
    __builtin_memcpy(d, chunk, kBytes);
}

}  // namespace short_copy_detail

CORVO_ALWAYS_INLINE void CopyShort(void* to, const void* from, std::size_t n) noexcept {
    using short_copy_detail::Move;
    auto* d = static_cast<char*>(to);
    const auto* s = static_cast<const char*>(from);
    if (n >= 16) {
        if (n > 32) {
            __builtin_memcpy(d, s, n);
            return;
        }
        Move<16>(d, s);
        Move<16>(d + n - 16, s + n - 16);
    } else if (n >= 8) {
        Move<8>(d, s);
        Move<8>(d + n - 8, s + n - 8);
    } else if (n >= 4) {
        Move<4>(d, s);
        Move<4>(d + n - 4, s + n - 4);
    } else if (n >= 2) {
        Move<2>(d, s);
        Move<2>(d + n - 2, s + n - 2);
    } else if (n == 1) {
        d[0] = s[0];
    }
}

}  // namespace xparam
