// Discovery of the encoding of a byte document: byte-order mark first, then
// the encoding named by the XML declaration, else UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>

#include "xparam/encoding_table.h"

namespace xparam {

// Examines the first bytes of a document (`size` bytes at `bytes`).
// On success `name` holds the lower-case encoding name (empty for UTF-8 by
// default; look it up with LookupCodePage) and `markLength` the number of
// byte-order-mark bytes to skip (0, 2 or 3). Returns false when the encoding
// cannot be settled: fewer than 4 bytes, or the input ends inside the part of
// the XML declaration that is read. `name` is always zero-terminated.
//  - 3C 00 / FF FE: "utf-16le" (mark 0 / 2); 00 3C / FE FF: "utf-16be";
//  - EF BB BF 3C: "utf-8" with mark 3 (a UTF-8 mark before anything else
//    than "<" stays in the text);
//  - otherwise `<?xml version="1.0" encoding="NAME"` (spaces and tabs between
//    tokens, either quote) gives NAME folded to lower case, cut to 31 bytes;
//    a mismatch anywhere gives the empty name.
bool SniffEncoding(const uint8_t* bytes, size_t size, char (&name)[kEncodingNameSize],
                   int& markLength);

}  // namespace xparam
