#include "xparam/base64.h"

#include <array>

#include "xparam/counted_text.h"

namespace xparam {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Character classes of the decoder for the units 0-127.
constexpr uint8_t kSkip = 0xFE;
constexpr uint8_t kBad = 0xFF;

constexpr std::array<uint8_t, 128> MakeDecodeTable() {
    std::array<uint8_t, 128> table{};
    for (auto& v : table) v = kBad;
    for (uint8_t k = 0; k < 64; ++k) table[static_cast<uint8_t>(kAlphabet[k])] = k;
    table['\t'] = table['\n'] = table['\r'] = table[' '] = kSkip;
    return table;
}
constexpr std::array<uint8_t, 128> kDecode = MakeDecodeTable();

}  // namespace

template <class CharT>
size_t Base64Encode(const uint8_t* bytes, size_t size, CharT* out) {
    size_t o = 0;
    size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const uint32_t g =
            (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out[o++] = static_cast<CharT>(kAlphabet[g >> 18]);
        out[o++] = static_cast<CharT>(kAlphabet[(g >> 12) & 63]);
        out[o++] = static_cast<CharT>(kAlphabet[(g >> 6) & 63]);
        out[o++] = static_cast<CharT>(kAlphabet[g & 63]);
    }
    if (size - i == 1) {
        const uint32_t g = uint32_t{bytes[i]} << 16;
        out[o++] = static_cast<CharT>(kAlphabet[g >> 18]);
        out[o++] = static_cast<CharT>(kAlphabet[(g >> 12) & 63]);
        out[o++] = static_cast<CharT>('=');
        out[o++] = static_cast<CharT>('=');
    } else if (size - i == 2) {
        const uint32_t g = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8);
        out[o++] = static_cast<CharT>(kAlphabet[g >> 18]);
        out[o++] = static_cast<CharT>(kAlphabet[(g >> 12) & 63]);
        out[o++] = static_cast<CharT>(kAlphabet[(g >> 6) & 63]);
        out[o++] = static_cast<CharT>('=');
    }
    out[o] = 0;
    return o;
}

template size_t Base64Encode<char>(const uint8_t*, size_t, char*);
template size_t Base64Encode<char16_t>(const uint8_t*, size_t, char16_t*);

bool Base64Decode(const char16_t* text, int32_t length, uint8_t* out, size_t& size) {
    size_t n = CountedLength(text, length);
    if (n == 0) return false;
    // Up to two final "=" go; any other "=" is refused below.
    for (int k = 0; k < 2 && n > 0 && text[n - 1] == u'='; ++k) --n;
    size_t produced = 0;
    uint32_t group = 0;
    int filled = 0;
    for (size_t i = 0; i < n; ++i) {
        const char16_t u = text[i];
        const uint8_t v = u < 128 ? kDecode[u] : kBad;
        if (v == kSkip) continue;
        if (v == kBad) return false;
        group = (group << 6) | v;
        if (++filled == 4) {
            out[produced++] = static_cast<uint8_t>(group >> 16);
            out[produced++] = static_cast<uint8_t>(group >> 8);
            out[produced++] = static_cast<uint8_t>(group);
            group = 0;
            filled = 0;
        }
    }
    if (filled == 1) return false;
    if (filled == 2) {
        out[produced++] = static_cast<uint8_t>(group >> 4);
    } else if (filled == 3) {
        out[produced++] = static_cast<uint8_t>(group >> 10);
        out[produced++] = static_cast<uint8_t>(group >> 2);
    }
    size = produced;
    return true;
}

}  // namespace xparam
