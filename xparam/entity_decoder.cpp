#include "xparam/entity_decoder.h"

#include <cstdint>

namespace xparam {
namespace {

int DigitValue(char16_t c, bool hex) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (!hex) return -1;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool EntityDecoder::Decode(const char16_t* ref, size_t length, char16_t& out) noexcept {
    if (length > 2 && ref[1] == '#') {
        const bool hex = ref[2] == 'x';
        const uint32_t base = hex ? 16 : 10;
        uint16_t value = 0;
        for (size_t k = hex ? 3 : 2; k + 1 < length; ++k) {
            const int digit = DigitValue(ref[k], hex);
            if (digit < 0) return false;
            value = static_cast<uint16_t>(value * base + static_cast<uint32_t>(digit));
        }
        out = static_cast<char16_t>(value);
        return true;
    }
    const std::u16string_view text(ref, length);
    for (const NamedEntity& e : kNamedEntities) {
        if (text == e.text) {
            out = e.unit;
            return true;
        }
    }
    return false;
}

}  // namespace xparam
