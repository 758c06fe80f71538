// EncodingTable: the encoding names the XParam library understands, the Windows
// code page each stands for, and the byte-order marks of the Unicode ones.
#pragma once

#include <cstdint>

namespace xparam {

// Encoding names are held for lookup in a 32-byte buffer: at most 31 ASCII
// characters and a terminating zero byte.
inline constexpr int kEncodingNameSize = 32;

struct EncodingTableRow {
    char name[kEncodingNameSize];
    uint32_t codePage;
};

// The 20 rows in lookup order; names are lower case. Row 0 is the empty name
// (UTF-8), so a missing encoding name means UTF-8.
inline constexpr int kEncodingTableSize = 20;
extern const EncodingTableRow EncodingTable[kEncodingTableSize];

// The code page of the first row whose name equals `name` exactly
// (zero-terminated bytes; compared case-sensitively), 0 when none does or
// `name` is null.
uint32_t LookupCodePage(const char* name);

struct ByteOrderMark {
    const uint8_t* bytes;  // null when there is no mark
    int length;            // 3 for 65001, 2 for 1200 and 1201, else 0
};

// The byte-order mark written before text in `codePage`.
ByteOrderMark ByteOrderMarkFor(uint32_t codePage);

}  // namespace xparam
