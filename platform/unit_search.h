// Searching UTF-16 text for a few ASCII units eight units a step, with SSE2
// where the target has it. The callers (the XML reader and writer) keep their
// own unit-by-unit loop for the tail and for targets without SSE2.
#pragma once

#include <cstddef>

#include "platform/compiler.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvo::platform {

// Compile-time options of SkipBlocksWithout.
enum UnitSearchFlags : unsigned {
    kStopAtControls = 1u << 0,  // also stop at U+0000-U+001F other than TAB, LF, CR
};

// Passes whole blocks of eight units that hold none of `Stops` (nor, with
// kStopAtControls, a control unit). Returns the first stop unit found in a
// block, or the start of the remaining fewer than eight units when no block
// held one; without SSE2 it returns `p`.
template <unsigned kFlags, char16_t... Stops>
CORVO_ALWAYS_INLINE const char16_t* SkipBlocksWithout(const char16_t* p,
                                                      const char16_t* end) noexcept {
#if defined(__SSE2__)
    while (end - p >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i hit = _mm_setzero_si128();
        ((hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(Stops))))),
         ...);
        if constexpr ((kFlags & kStopAtControls) != 0) {
            // v <= 0x1F (unsigned): the saturating subtraction leaves zero.
            const __m128i control =
                _mm_cmpeq_epi16(_mm_subs_epu16(v, _mm_set1_epi16(0x1F)), _mm_setzero_si128());
            const __m128i allowed =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16('\t')),
                                          _mm_cmpeq_epi16(v, _mm_set1_epi16('\n'))),
                             _mm_cmpeq_epi16(v, _mm_set1_epi16('\r')));
            hit = _mm_or_si128(hit, _mm_andnot_si128(allowed, control));
        }
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit));
        if (mask != 0) return p + (CORVO_LOWEST_BIT(mask) >> 1);
        p += 8;
    }
#else
    (void)end;
#endif
    return p;
}

}  // namespace corvo::platform
