#include "platform/utf_codec.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/code_page_result.h"

namespace corvo::platform {
namespace {

constexpr char16_t kReplacement = 0xFFFD;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

bool IsHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// Output cursor: counts only when there is no buffer; checks room unless the
// caller proved that the buffer holds the largest possible output (kCheck
// false).
template <class Unit, bool kWrite, bool kCheck = true>
struct Sink {
    Unit* out;
    size_t capacity;
    size_t n = 0;

    bool Room(size_t k) const { return !kWrite || !kCheck || capacity - n >= k; }
    void Put(Unit u) {
        if constexpr (kWrite) out[n] = u;
        ++n;
    }
};

// Widens the run of ASCII bytes at in[i..count) into the sink, 16 or 8 bytes
// at a time; stops before the block that holds a byte above 0x7F.
template <bool kWrite, bool kCheck>
void WidenAsciiRun(const uint8_t* in, size_t count, size_t& i,
                   Sink<char16_t, kWrite, kCheck>& sink) {
#if defined(__SSE2__)
    if constexpr (kWrite && !kCheck) {
        const __m128i zero = _mm_setzero_si128();
        while (i + 16 <= count) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(v) != 0) break;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sink.out + sink.n),
                             _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(sink.out + sink.n + 8),
                             _mm_unpackhi_epi8(v, zero));
            i += 16;
            sink.n += 16;
        }
    }
#endif
    while (i + 8 <= count && sink.Room(8)) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        if (word & kHighBits) break;
        for (int k = 0; k < 8; ++k) sink.Put(in[i + k]);
        i += 8;
    }
}

template <bool kWrite, bool kCheck = true>
size_t DecodeUtf8(const uint8_t* in, size_t count, char16_t* out, size_t capacity) {
    Sink<char16_t, kWrite, kCheck> sink{out, capacity};
    size_t i = 0;
    while (i < count) {
        WidenAsciiRun(in, count, i, sink);
        if (i >= count) break;
        const uint8_t lead = in[i];
        if (!sink.Room(1)) return kConversionNoRoom;
        if (lead < 0x80) {
            sink.Put(lead);
            ++i;
            continue;
        }
        int trail;
        uint32_t cp;
        uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the first trail byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trail = 2;
            cp = lead & 0x0F;
            if (lead == 0xE0)
                lo = 0xA0;  // overlong
            else if (lead == 0xED)
                hi = 0x9F;  // surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trail = 3;
            cp = lead & 0x07;
            if (lead == 0xF0)
                lo = 0x90;  // overlong
            else if (lead == 0xF4)
                hi = 0x8F;  // above U+10FFFF
        } else {
            sink.Put(kReplacement);
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool complete = true;
        for (int k = 0; k < trail; ++k, ++j) {
            const uint8_t b = j < count ? in[j] : 0;
            if (j >= count || b < lo || b > hi) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (b & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        i = j;
        if (!complete) {
            sink.Put(kReplacement);
        } else if (cp >= 0x10000) {
            if (!sink.Room(2)) return kConversionNoRoom;
            cp -= 0x10000;
            sink.Put(static_cast<char16_t>(0xD800 + (cp >> 10)));
            sink.Put(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            sink.Put(static_cast<char16_t>(cp));
        }
    }
    return sink.n;
}

// Narrows the run of units below U+0080 at in[i..count) into the sink, eight
// units at a time; stops before the block that holds another unit.
template <bool kWrite, bool kCheck>
void NarrowAsciiRun(const char16_t* in, size_t count, size_t& i,
                    Sink<uint8_t, kWrite, kCheck>& sink) {
#if defined(__SSE2__)
    if constexpr (kWrite && !kCheck) {
        const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
        while (i + 8 <= count) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), _mm_setzero_si128())) !=
                0xFFFF) {
                break;
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(sink.out + sink.n), _mm_packus_epi16(v, v));
            i += 8;
            sink.n += 8;
        }
        return;
    }
#endif
    while (i + 4 <= count && sink.Room(4)) {
        uint64_t word;
        std::memcpy(&word, in + i, 8);
        if (word & 0xFF80FF80FF80FF80ull) break;
        for (int k = 0; k < 4; ++k) sink.Put(static_cast<uint8_t>(in[i + k]));
        i += 4;
    }
}

template <bool kWrite, bool kCheck = true>
size_t EncodeUtf8(const char16_t* in, size_t count, uint8_t* out, size_t capacity) {
    Sink<uint8_t, kWrite, kCheck> sink{out, capacity};
    size_t i = 0;
    while (i < count) {
        NarrowAsciiRun(in, count, i, sink);
        if (i >= count) break;
        uint32_t cp = in[i++];
        if (cp < 0x80) {
            if (!sink.Room(1)) return kConversionNoRoom;
            sink.Put(static_cast<uint8_t>(cp));
            continue;
        }
        if (cp < 0x800) {
            if (!sink.Room(2)) return kConversionNoRoom;
            sink.Put(static_cast<uint8_t>(0xC0 | (cp >> 6)));
            sink.Put(static_cast<uint8_t>(0x80 | (cp & 0x3F)));
            continue;
        }
        if (IsHighSurrogate(static_cast<char16_t>(cp)) && i < count && IsLowSurrogate(in[i])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i++] - 0xDC00);
            if (!sink.Room(4)) return kConversionNoRoom;
            sink.Put(static_cast<uint8_t>(0xF0 | (cp >> 18)));
            sink.Put(static_cast<uint8_t>(0x80 | ((cp >> 12) & 0x3F)));
            sink.Put(static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
            sink.Put(static_cast<uint8_t>(0x80 | (cp & 0x3F)));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacement;  // lone surrogate
        if (!sink.Room(3)) return kConversionNoRoom;
        sink.Put(static_cast<uint8_t>(0xE0 | (cp >> 12)));
        sink.Put(static_cast<uint8_t>(0x80 | ((cp >> 6) & 0x3F)));
        sink.Put(static_cast<uint8_t>(0x80 | (cp & 0x3F)));
    }
    return sink.n;
}

}  // namespace

size_t Utf8ToUtf16(const uint8_t* in, size_t count, char16_t* out, size_t capacity) {
    if (out == nullptr) return DecodeUtf8<false>(in, count, nullptr, 0);
    // No input byte makes more than one unit (a 4-byte sequence makes two),
    // so room for `count` units needs no checks.
    if (capacity >= count) return DecodeUtf8<true, false>(in, count, out, capacity);
    return DecodeUtf8<true>(in, count, out, capacity);
}

size_t Utf16ToUtf8(const char16_t* in, size_t count, uint8_t* out, size_t capacity) {
    if (out == nullptr) return EncodeUtf8<false>(in, count, nullptr, 0);
    // No unit makes more than three bytes (a surrogate pair makes four).
    if (capacity / 3 >= count) return EncodeUtf8<true, false>(in, count, out, capacity);
    return EncodeUtf8<true>(in, count, out, capacity);
}

size_t Utf16BytesToUtf16(const uint8_t* in, size_t count, bool bigEndian, char16_t* out,
                         size_t capacity) {
    const size_t units = count / 2;
    const size_t needed = units + (count & 1);
    if (out == nullptr) return needed;
    if (capacity < needed) return kConversionNoRoom;
    const int first = bigEndian ? 0 : 1;  // index of the high byte
    for (size_t k = 0; k < units; ++k) {
        out[k] = static_cast<char16_t>((in[2 * k + first] << 8) | in[2 * k + 1 - first]);
    }
    if (count & 1) out[units] = kReplacement;
    return needed;
}

size_t Utf16ToUtf16Bytes(const char16_t* in, size_t count, bool bigEndian, uint8_t* out,
                         size_t capacity) {
    const size_t needed = count * 2;
    if (out == nullptr) return needed;
    if (capacity < needed) return kConversionNoRoom;
    const int first = bigEndian ? 0 : 1;
    for (size_t k = 0; k < count; ++k) {
        out[2 * k + first] = static_cast<uint8_t>(in[k] >> 8);
        out[2 * k + 1 - first] = static_cast<uint8_t>(in[k] & 0xFF);
    }
    return needed;
}

size_t AsciiToUtf16(const uint8_t* in, size_t count, char16_t* out, size_t capacity) {
    if (out == nullptr) return count;
    if (capacity < count) return kConversionNoRoom;
    for (size_t k = 0; k < count; ++k) out[k] = in[k] < 0x80 ? in[k] : kReplacement;
    return count;
}

size_t Utf16ToAscii(const char16_t* in, size_t count, uint8_t* out, size_t capacity) {
    size_t n = 0;
    for (size_t k = 0; k < count; ++k) {
        const char16_t u = in[k];
        if (out != nullptr) {
            if (n >= capacity) return kConversionNoRoom;
            out[n] = u < 0x80 ? static_cast<uint8_t>(u) : '?';
        }
        ++n;
    }
    return n;
}

}  // namespace corvo::platform
