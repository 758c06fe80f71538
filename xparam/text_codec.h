// Conversions between byte encodings (Windows code page numbers) and the
// library's UTF-16 text: decoding documents, encoding them for writing, and
// turning multi-byte arguments into wide strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/code_page.h"
#include "xparam/counted_text.h"
#include "xparam/encoding_table.h"
#include "xparam/wide_string.h"

namespace xparam {

// Filled by DecodeText / EncodeText: the code page used and the buffer the
// conversion allocated (empty when the result lies in the caller's input).
// The result pointers stay valid while the state lives and is not reused.
struct ConversionState {
    uint32_t codePage = 0;
    std::unique_ptr<char16_t[]> wide;
    std::unique_ptr<uint8_t[]> bytes;

    void Reset() {
        codePage = 0;
        wide.reset();
        bytes.reset();
    }
};

// Bytes (after any byte-order mark) in `codePage` to UTF-16.
//  - 1200: the input itself, size / 2 units (an odd last byte is ignored);
//    copied only when the input is not 2-byte aligned. Always succeeds.
//  - 1201: a copy with the bytes of each unit exchanged. Always succeeds.
//  - any other (65001 and 0 included): the platform conversion, lenient
//    (U+FFFD for bytes that do not decode); fails for empty input, an
//    unsupported code page, or more than INT32_MAX bytes.
// On failure `text` is null and `length` 0.
bool DecodeText(const uint8_t* bytes, size_t size, uint32_t codePage, const char16_t*& text,
                size_t& length, ConversionState& state);

// UTF-16 text (`text`, `length` units; -1 = up to the NUL) to the bytes of the
// encoding named `encodingName` (UTF-16, zero-terminated; its first 31 units,
// low bytes, "A"-"Z" folded; null or empty = UTF-8; a name outside the table
// = code page 0). Outputs the byte-order mark for that code page and the
// encoded bytes: 1200 gives the text itself, 1201 swapped bytes, any other
// the platform conversion (unencodable characters become "?"). Fails (empty
// outputs) when a converted text is empty or the conversion yields nothing.
bool EncodeText(const char16_t* encodingName, const char16_t* text, int32_t length,
                ByteOrderMark& mark, const uint8_t*& out, size_t& outLength,
                ConversionState& state);

// Multi-byte text to UTF-16 through the platform conversion: returns the number
// of units written into `out` (capacity `capacity`), or, with capacity 0, the
// number needed; 0 on failure. `size` is the exact byte count (> 0).
int32_t WideFromBytes(const char* bytes, size_t size, uint32_t codePage, char16_t* out,
                      int32_t capacity);

// UTF-16 text to bytes in `codePage` through the platform conversion, the
// mirror of WideFromBytes (unencodable characters become "?"). `size` > 0.
int32_t BytesFromWide(const char16_t* text, size_t size, uint32_t codePage, char* out,
                      int32_t capacity);

// Multi-byte text (`length` bytes; -1 = up to the first zero byte) in
// `codePage` to a wide string. Null text or length 0 gives the empty string
// and true. A failed conversion (unsupported code page, more than INT32_MAX
// bytes) leaves `out` empty and returns false. Malformed bytes become U+FFFD.
bool ToWide(const char* text, int32_t length, uint32_t codePage, WideString& out);

}  // namespace xparam
