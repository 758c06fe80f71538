// DecodeField on arbitrary text (the input's bytes as UTF-16 little-endian
// code units), then the decoded value through the field encoding again: the
// encoding must be ASCII in 76-character lines and decode to the value's code
// page 936 round trip.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/field_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvo::srlz;
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) text += char16_t(data[i] | data[i + 1] << 8);

    const std::u16string plain = DecodeField(text);
    if (plain.find(u'\0') != std::u16string::npos) __builtin_trap();

    const std::u16string encoded = EncodeField(plain);
    size_t column = 0;
    for (size_t i = 0; i < encoded.size(); ++i) {
        const char16_t c = encoded[i];
        if (c == u'\r') {
            if (column != kFieldLineChars || i + 1 >= encoded.size() || encoded[i + 1] != u'\n')
                __builtin_trap();
            column = 0;
            ++i;
            continue;
        }
        if (c >= 0x80 || ++column > kFieldLineChars) __builtin_trap();
    }
    if (DecodeField(encoded) != FromFieldBytes(ToFieldBytes(plain))) __builtin_trap();

    // The byte-level decoder on the raw input: never more than 3 bytes per
    // 4 input characters (plus one for a trailing pair).
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (FieldBase64Decode(bytes).size() > size / 4 * 3 + 2) __builtin_trap();
    return 0;
}
