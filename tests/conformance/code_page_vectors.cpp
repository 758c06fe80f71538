// Code page conversions of a fixed table of strings, both directions, for
// every code page the system names (0 is the calling thread's default).
#include <cstdio>
#include <iterator>
#include <string>

#include "platform/code_page.h"
#include "platform/code_page_string.h"
#include "tests/conformance/vector_sink.h"

namespace corvo::conformance {
namespace {

using platform::CodePageStringStatus;

struct WideInput {
    const char* what;
    std::u16string text;
};

// ASCII, GBK text, the GBK pinyin and Latin letters, characters GBK lacks,
// the code points where GBK's tables are known to differ between vendors,
// surrogates alone and in pairs, NUL inside.
const WideInput kWideInputs[] = {
    {"ascii", u"Corvo SSO 1.0"},
    {"gbk-ideographs", u"\u4e2d\u6587"},
    {"euro", u"\u20ac"},
    {"a-grave", u"\u00e0"},
    {"A-grave", u"\u00c0"},
    {"e-acute", u"\u00e9"},
    {"middle-dot", u"\u00b7"},
    {"em-dash", u"\u2014"},
    {"horizontal-bar", u"\u2015"},
    {"katakana-middle-dot", u"\u30fb"},
    {"fullwidth-tilde", u"\uff5e"},
    {"wave-dash", u"\u301c"},
    {"parallel-to", u"\u2225"},
    {"fullwidth-macron", u"\uffe3"},
    {"m-acute", u"\u1e3f"},
    {"n-grave", u"\u01f9"},
    {"thai", u"\u0e01"},
    {"cyrillic", u"\u0416"},
    {"hangul", u"\uac00"},
    {"hiragana", u"\u3042"},
    {"private-use", u"\ue000"},
    {"replacement-char", u"\ufffd"},
    {"emoji-pair", u"\U0001F600"},
    {"lone-high-surrogate", u"a\xd83d"},
    {"lone-low-surrogate", u"\xde00z"},
    {"reversed-pair", u"\xde00\xd83d"},
    {"nul-inside", std::u16string(u"a\0b", 3)},
};

struct ByteInput {
    const char* what;
    std::string bytes;
};

const ByteInput kByteInputs[] = {
    {"ascii", "Corvo"},
    {"gbk-ideographs", "\xd6\xd0\xce\xc4"},
    {"byte-80", "\x80"},
    {"byte-ff", "\xff"},
    {"lone-lead-at-end", "a\x81"},
    {"lead-then-space", "\x81 b"},
    {"lead-then-nul", std::string("\x81\0b", 3)},
    {"a8a4", "\xa8\xa4"},
    {"a8bf", "\xa8\xbf"},
    {"a8bc", "\xa8\xbc"},
    {"a1a4", "\xa1\xa4"},
    {"a1aa", "\xa1\xaa"},
    {"a1ab", "\xa1\xab"},
    {"a3fe", "\xa3\xfe"},
    {"a6d9", "\xa6\xd9"},
    {"fe50", "\xfe\x50"},
    {"fe4f", "\xfe\x4f"},
    {"gb18030-four-byte", "\x81\x30\x81\x30"},
    {"utf8-overlong", "\xc0\x80"},
    {"utf8-surrogate", "\xed\xa0\x80"},
    {"utf8-above-10ffff", "\xf4\x90\x80\x80"},
    {"utf8-truncated", "\xe4\xb8"},
    {"utf8-emoji", "\xf0\x9f\x98\x80"},
    {"utf8-bom",
     "\xef\xbb\xbf"
     "A"},
    {"utf8-lone-continuation", "\x80z"},
    {"nul-inside", std::string("a\0b", 3)},
};

struct CodePageName {
    uint32_t codePage;
    const char* name;
};

const CodePageName kCodePages[] = {
    {platform::kCodePageDefault, "cp0"},    {platform::kCodePageUtf8, "cp65001"},
    {platform::kCodePageGbk, "cp936"},      {platform::kCodePageGb2312, "cp20936"},
    {platform::kCodePageHz, "cp52936"},     {platform::kCodePageGb18030, "cp54936"},
    {platform::kCodePageBig5, "cp950"},     {platform::kCodePageShiftJis, "cp932"},
    {platform::kCodePageKorean, "cp949"},   {platform::kCodePageUsAscii, "cp20127"},
    {platform::kCodePageUtf16Le, "cp1200"}, {platform::kCodePageUtf16Be, "cp1201"},
};

std::string Outcome(CodePageStringStatus status) {
    return status == CodePageStringStatus::kTooLong ? "too-long" : "fail";
}

}  // namespace

void EmitCodePageVectors() {
    for (const CodePageName& cp : kCodePages) {
        for (const WideInput& in : kWideInputs) {
            std::string out;
            const CodePageStringStatus status =
                platform::ConvertToCodePage(cp.codePage, in.text, out);
            Emit(std::string("to-bytes/") + cp.name + "/" + in.what, HexUnits(in.text),
                 status == CodePageStringStatus::kOk ? Hex(out) : Outcome(status));
        }
        for (const ByteInput& in : kByteInputs) {
            std::u16string out;
            const CodePageStringStatus status =
                platform::ConvertFromCodePage(cp.codePage, in.bytes, out);
            Emit(std::string("to-utf16/") + cp.name + "/" + in.what, Hex(in.bytes),
                 status == CodePageStringStatus::kOk ? HexUnits(out) : Outcome(status));
        }
    }
}

void EmitCodePage936Map() {
    char id[32];
    for (uint32_t c = 1; c < 0x10000; ++c) {
        if (c >= 0xd800 && c < 0xe000) continue;
        const std::u16string text(1, static_cast<char16_t>(c));
        std::string out;
        const CodePageStringStatus status =
            platform::ConvertToCodePage(platform::kCodePageGbk, text, out);
        std::snprintf(id, sizeof id, "u+%04x", static_cast<unsigned>(c));
        Emit(id, "", status == CodePageStringStatus::kOk ? Hex(out) : Outcome(status));
    }
    for (unsigned lead = 0x80; lead <= 0xff; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xff; ++trail) {
            const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            std::u16string out;
            const CodePageStringStatus status = platform::ConvertFromCodePage(
                platform::kCodePageGbk, std::string_view(bytes, 2), out);
            std::snprintf(id, sizeof id, "%02x%02x", lead, trail);
            Emit(id, "", status == CodePageStringStatus::kOk ? HexUnits(out) : Outcome(status));
        }
    }
}

}  // namespace corvo::conformance
