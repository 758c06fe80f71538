// EntityDecoder: decodes one complete entity or character reference, from its
// "&" to its ";" inclusive, into the single code unit it stands for.
//  - "&#x" followed by hexadecimal digits (0-9, A-F, a-f), or "&#" followed by
//    decimal digits: the value accumulated in 16 bits (each step truncated),
//    so "&#x1F600;" gives U+F600; no digits at all give U+0000. Only a lower
//    case "x" selects hexadecimal: "&#X41;" is a bad decimal reference.
//  - "&amp;", "&lt;", "&gt;", "&quot;", "&apos;" (case matters).
//  - Anything else (a bad digit, another name, "&;") fails.
// The reader finds the reference in its input and hands it over in place, so
// no copy of the reference is kept.
#pragma once

#include <cstddef>
#include <string_view>

namespace xparam {

// The five named entities and the unit each stands for; the writer escapes
// with the same table.
struct NamedEntity {
    std::u16string_view text;
    char16_t unit;
};

inline constexpr NamedEntity kNamedEntities[] = {
    {u"&amp;", u'&'}, {u"&lt;", u'<'}, {u"&gt;", u'>'}, {u"&quot;", u'"'}, {u"&apos;", u'\''},
};

class EntityDecoder {
  public:
    // `ref` points at the "&", `length` counts up to and including the ";".
    static bool Decode(const char16_t* ref, size_t length, char16_t& out) noexcept;
};

}  // namespace xparam
