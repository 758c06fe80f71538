// Narrowing ASCII UTF-16 text to bytes eight units a step, with SSE2 where
// the target has it. The caller finishes the rest (a block holding a unit
// above U+007F, the last fewer than eight units) its own way.
#pragma once

#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/compiler.h"

namespace corvo::platform {

// Writes the units of the leading whole blocks of eight ASCII units of
// `in` (`length` units) as bytes to `out` and returns how many it wrote (0
// without SSE2). `out` has room for `length` bytes.
CORVO_ALWAYS_INLINE size_t NarrowAsciiBlocks(const char16_t* in, size_t length,
                                             unsigned char* out) noexcept {
    size_t k = 0;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; length - k >= 8; k += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + k));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())) !=
            0xFFFF) {
            break;
        }
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(v, v));
    }
#else
    (void)in;
    (void)length;
    (void)out;
#endif
    return k;
}

}  // namespace corvo::platform
