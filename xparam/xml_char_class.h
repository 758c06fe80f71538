// XmlCharClass: the character classes of the XML reader and writer, as one
// table over the ASCII range plus one entry (128) that stands for every code
// unit above U+007F: a name character that needs no attention in text. The
// reader's inner loops test one table bit per unit, with no branch for the
// range.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/compiler.h"
#include "platform/unit_search.h"

namespace xparam {

enum XmlCharClass : uint16_t {
    kXmlBlank = 1 << 0,           // TAB, LF, CR, SPACE
    kXmlName = 1 << 1,            // 0-9 A-Z a-z _ : - .
    kXmlLineBreak = 1 << 2,       // LF, CR
    kXmlTextStop = 1 << 3,        // character data: < & CR LF
    kXmlValueStop = 1 << 4,       // attribute values: & CR LF and both quotes
    kXmlCdataStop = 1 << 5,       // CDATA body: ] CR LF
    kXmlCommentStop = 1 << 6,     // comment body: - CR LF
    kXmlPiStop = 1 << 7,          // processing-instruction body: ? > CR LF
    kXmlMarkupStop = 1 << 8,      // declaration body: > CR LF
    kXmlEscape = 1 << 9,          // writer: & < > " ' and controls except TAB LF CR
    kXmlReferenceStop = 1 << 10,  // an open reference: ; < CR LF and both quotes
};

namespace xml_char_class_detail {

constexpr std::array<uint16_t, 129> MakeTable() {
    std::array<uint16_t, 129> t{};
    t[128] = kXmlName;  // every unit above U+007F
    for (int c = 0; c < 0x20; ++c) t[c] |= kXmlEscape;
    for (int c : {'\t', '\n', '\r'}) t[c] &= static_cast<uint16_t>(~kXmlEscape);
    for (int c : {'\t', '\n', '\r', ' '}) t[c] |= kXmlBlank;
    for (int c = '0'; c <= '9'; ++c) t[c] |= kXmlName;
    for (int c = 'A'; c <= 'Z'; ++c) t[c] |= kXmlName;
    for (int c = 'a'; c <= 'z'; ++c) t[c] |= kXmlName;
    for (int c : {'_', ':', '-', '.'}) t[c] |= kXmlName;
    const uint16_t everyBodyStop = kXmlTextStop | kXmlValueStop | kXmlCdataStop | kXmlCommentStop |
                                   kXmlPiStop | kXmlMarkupStop | kXmlReferenceStop | kXmlLineBreak;
    for (int c : {'\n', '\r'}) t[c] |= everyBodyStop;
    t['<'] |= kXmlTextStop | kXmlEscape | kXmlReferenceStop;
    t['&'] |= kXmlTextStop | kXmlValueStop | kXmlEscape;
    t['"'] |= kXmlValueStop | kXmlEscape | kXmlReferenceStop;
    t['\''] |= kXmlValueStop | kXmlEscape | kXmlReferenceStop;
    t['>'] |= kXmlEscape | kXmlPiStop | kXmlMarkupStop;
    t[']'] |= kXmlCdataStop;
    t['-'] |= kXmlCommentStop;
    t['?'] |= kXmlPiStop;
    t[';'] |= kXmlReferenceStop;
    return t;
}

inline constexpr std::array<uint16_t, 129> kTable = MakeTable();

// The classes of `c` (the entry 128 for every unit above U+007F).
inline constexpr uint16_t ClassesOf(char16_t c) {
    return kTable[c < 128 ? c : 128];
}

}  // namespace xml_char_class_detail

// True when `c` belongs to `cls` (a unit above U+007F only to kXmlName).
inline constexpr bool IsXmlClass(char16_t c, uint16_t cls) {
    return (xml_char_class_detail::ClassesOf(c) & cls) != 0;
}

inline constexpr bool IsXmlBlank(char16_t c) {
    return IsXmlClass(c, kXmlBlank);
}

// Name characters: the ASCII ones of the table and every unit above U+007F.
// The same test serves the first character of a name.
inline constexpr bool IsXmlNameChar(char16_t c) {
    return IsXmlClass(c, kXmlName);
}

namespace xml_char_class_detail {

// True when the ASCII units of `cls` are exactly `stops` (and, with
// `controls`, the controls other than TAB, LF and CR).
template <std::size_t N>
constexpr bool StopsAre(uint16_t cls, const char16_t (&stops)[N], bool controls) {
    for (int c = 0; c < 128; ++c) {
        bool listed = controls && c < 0x20 && c != '\t' && c != '\n' && c != '\r';
        for (std::size_t k = 0; k + 1 < N; ++k) listed = listed || stops[k] == c;
        if (listed != ((kTable[c] & cls) != 0)) return false;
    }
    return true;
}

// Passes blocks of eight units without a unit of `kCls` (see
// SkipBlocksWithout); the classes' units are listed here and checked
// against the table.
template <uint16_t kCls>
CORVO_ALWAYS_INLINE const char16_t* SkipBlocks(const char16_t* p, const char16_t* end) {
    using corvo::platform::kStopAtControls;
    using corvo::platform::SkipBlocksWithout;
    if constexpr (kCls == kXmlTextStop) {
        static_assert(StopsAre(kCls, u"<&\r\n", false));
        return SkipBlocksWithout<0, u'<', u'&', u'\r', u'\n'>(p, end);
    } else if constexpr (kCls == kXmlValueStop) {
        static_assert(StopsAre(kCls, u"&\"'\r\n", false));
        return SkipBlocksWithout<0, u'&', u'"', u'\'', u'\r', u'\n'>(p, end);
    } else if constexpr (kCls == kXmlCdataStop) {
        static_assert(StopsAre(kCls, u"]\r\n", false));
        return SkipBlocksWithout<0, u']', u'\r', u'\n'>(p, end);
    } else if constexpr (kCls == kXmlCommentStop) {
        static_assert(StopsAre(kCls, u"-\r\n", false));
        return SkipBlocksWithout<0, u'-', u'\r', u'\n'>(p, end);
    } else if constexpr (kCls == kXmlEscape) {
        static_assert(StopsAre(kCls, u"&<>\"'", true));
        return SkipBlocksWithout<kStopAtControls, u'&', u'<', u'>', u'"', u'\''>(p, end);
    } else {
        (void)end;
        return p;  // short runs (references, markup bodies): unit by unit
    }
}

}  // namespace xml_char_class_detail

// Advances `p` over units outside `kCls` (units above U+007F never belong to
// a stop class) and returns the first one inside it, or `end`. Long runs pass
// eight units a step where the target has SSE2; the rest four units a step
// while four remain, so the end is tested once per four.
template <uint16_t kCls>
inline const char16_t* SkipUntilXmlClass(const char16_t* p, const char16_t* end) {
    p = xml_char_class_detail::SkipBlocks<kCls>(p, end);
    for (; end - p >= 4; p += 4) {
        if (IsXmlClass(p[0], kCls)) return p;
        if (IsXmlClass(p[1], kCls)) return p + 1;
        if (IsXmlClass(p[2], kCls)) return p + 2;
        if (IsXmlClass(p[3], kCls)) return p + 3;
    }
    while (p < end && !IsXmlClass(*p, kCls)) ++p;
    return p;
}

// Advances `p` over name characters, as SkipUntilXmlClass.
inline const char16_t* SkipXmlName(const char16_t* p, const char16_t* end) {
    for (; end - p >= 4; p += 4) {
        if (!IsXmlNameChar(p[0])) return p;
        if (!IsXmlNameChar(p[1])) return p + 1;
        if (!IsXmlNameChar(p[2])) return p + 2;
        if (!IsXmlNameChar(p[3])) return p + 3;
    }
    while (p < end && IsXmlNameChar(*p)) ++p;
    return p;
}

}  // namespace xparam
