// Conversion of an international host name to its ASCII (punycode) form. On
// Windows this is IdnToAscii from the system's normaliz.dll; elsewhere libidn2.
//
// Processing: UTS #46 nontransitional mapping (the processing browsers apply
// to host names): full-width letters and digits become ASCII, U+3002 and the
// other full stops become ".", upper case becomes lower case, "ß" stays
// distinct from "ss". The result must satisfy the STD3 ASCII rules: every
// label non-empty (a single trailing dot is kept), only letters, digits and
// hyphens, no hyphen at either end of a label.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvo::platform {

// Converts `host` into `ascii`. Returns false when the host is not valid
// UTF-16, when the mapping fails, when the result breaks the STD3 rules or
// when it is longer than `maxLength` characters (or empty).
bool IdnToAscii(std::u16string_view host, size_t maxLength, std::u16string& ascii);

}  // namespace corvo::platform
