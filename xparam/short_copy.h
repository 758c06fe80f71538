// CopyShort: memcpy for the short names and texts of documents, without a
// call for up to 256 bytes (two overlapping moves of the widest size that
// fits, after 16-byte steps for more than 32 bytes). The reader copies names and texts into its
// pages with it, the writer its pieces of output. EqualShort compares the same way: the reader
// matches end tags against their start tags' names with it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/compiler.h"

namespace xparam {

namespace short_copy_detail {

template <std::size_t kBytes>
CORVO_ALWAYS_INLINE void Move(char* d, const char* s) noexcept {
    char chunk[kBytes];
    __builtin_memcpy(chunk, s, kBytes);
    __builtin_memcpy(d, chunk, kBytes);
}

template <typename Word>
CORVO_ALWAYS_INLINE Word Load(const char* s) noexcept {
    Word w;
    __builtin_memcpy(&w, s, sizeof w);
    return w;
}

// The first and the last sizeof(Word) bytes of two runs of n bytes, where
// sizeof(Word) <= n <= 2 * sizeof(Word), compared as two overlapping words.
template <typename Word>
CORVO_ALWAYS_INLINE bool EqualEnds(const char* a, const char* b, std::size_t n) noexcept {
    return ((Load<Word>(a) ^ Load<Word>(b)) |
            (Load<Word>(a + n - sizeof(Word)) ^ Load<Word>(b + n - sizeof(Word)))) == 0;
}

}  // namespace short_copy_detail

CORVO_ALWAYS_INLINE void CopyShort(void* to, const void* from, std::size_t n) noexcept {
    using short_copy_detail::Move;
    auto* d = static_cast<char*>(to);
    const auto* s = static_cast<const char*>(from);
    if (n >= 16) {
        if (n > 32) {
            // A variable-size memcpy may become a string move whose start-up
            // costs more than copying a text of a few lines: up to 256 bytes
            // go in 16-byte steps, the last one overlapping.
            if (n > 256) {
                __builtin_memcpy(d, s, n);
                return;
            }
            for (; n > 32; n -= 16, d += 16, s += 16) Move<16>(d, s);
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

CORVO_ALWAYS_INLINE bool EqualShort(const void* first, const void* second, std::size_t n) noexcept {
    using short_copy_detail::EqualEnds;
    const auto* a = static_cast<const char*>(first);
    const auto* b = static_cast<const char*>(second);
    if (n > 16) return __builtin_memcmp(a, b, n) == 0;
    if (n >= 8) return EqualEnds<uint64_t>(a, b, n);
    if (n >= 4) return EqualEnds<uint32_t>(a, b, n);
    if (n >= 2) return EqualEnds<uint16_t>(a, b, n);
    return n == 0 || a[0] == b[0];
}

}  // namespace xparam
