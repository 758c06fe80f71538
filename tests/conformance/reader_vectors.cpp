// XML reader results for a set of documents (byte input with every way of
// naming an encoding, multi-byte text in a code page), and the typed getters
// on text values, whose widths follow the platform's `long`.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "tests/conformance/vector_sink.h"
#include "tests/xml/xml_test_support.h"

namespace corvo::conformance {
namespace {

using namespace xparam;

struct DocumentInput {
    const char* what;
    std::string bytes;
};

std::string Decl(const char* encoding, const std::string& body) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + encoding + "\"?>" + body;
}

const DocumentInput kDocuments[] = {
    {"utf8-plain", "<r a=\"1\"><v>x</v></r>"},
    {"utf8-bom", "\xef\xbb\xbf<r><v>\xe4\xb8\xad</v></r>"},
    {"utf8-invalid-bytes", "<r><v>\xc0\x80\xff\xe4\xb8</v></r>"},
    {"utf16le-bom", std::string("\xff\xfe<\0r\0/\0>\0", 10)},
    {"utf16be-bom", std::string("\xfe\xff\0<\0r\0/\0>", 10)},
    {"gbk", Decl("gbk", "<r><v>\xd6\xd0\xce\xc4\x80</v></r>")},
    {"gb2312", Decl("gb2312", "<r><v>\xd6\xd0</v></r>")},
    {"gbk-lone-lead", Decl("GBK", "<r><v>a\x81</v></r>")},
    {"gbk-a8a4", Decl("gbk", "<r><v>\xa8\xa4\xa8\xbf\xa6\xd9</v></r>")},
    {"hz", Decl("hz-gb-2312", "<r><v>~{VP~}</v></r>")},
    {"gb18030", Decl("gb18030", "<r><v>\xd6\xd0\x81\x30\x81\x30</v></r>")},
    {"big5", Decl("big5", "<r><v>\xa4\xa4</v></r>")},
    {"shift-jis", Decl("shift_jis", "<r><v>\x82\xa0</v></r>")},
    {"unknown-encoding", Decl("x-unknown", "<r><v>\xe9</v></r>")},
    {"windows-1252", Decl("windows-1252", "<r><v>\x80\xe9</v></r>")},
    {"references", "<r><v>&#x20AC;&#20013;&#x1F600;&amp;&lt;</v><w>&#xD800;</w></r>"},
    {"bad-syntax", "<r><v>x</w></r>"},
};

struct TextInput {
    const char* what;
    std::string bytes;
    unsigned codePage;
};

const TextInput kTexts[] = {
    {"cp936", "<r><v>\xd6\xd0\x80</v></r>", 936},
    {"cp65001", "<r><v>\xe4\xb8\xad</v></r>", 65001},
    {"cp0-ascii", "<r><v>abc</v></r>", 0},
    {"cp0-high-bytes", "<r><v>\xd6\xd0\xe9</v></r>", 0},
};

std::string Result(XParamParser* parser, bool ok) {
    if (!ok) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "error %d at %u", static_cast<int>(parser->GetError()),
                      parser->GetPosition());
        return buf;
    }
    return xparam::test::Dump(xparam::test::RootOf(parser).Get());
}

// Decimal by hand, and doubles as their bits: the C runtimes' printf differ
// (infinity, long long on older ones), the values must not.
std::string Decimal(unsigned long long magnitude, bool negative) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
        magnitude /= 10;
    } while (magnitude != 0);
    return negative ? "-" + digits : digits;
}

template <typename T>
std::string Read(XParam* node) {
    T value{};
    if (!node->GetValue(value)) return "fail";
    if constexpr (std::is_floating_point_v<T>) {
        uint64_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return "bits " + Decimal(bits, false);
    } else if constexpr (std::is_signed_v<T>) {
        const bool negative = value < 0;
        const unsigned long long magnitude = negative
                                                 ? 0ull - static_cast<unsigned long long>(value)
                                                 : static_cast<unsigned long long>(value);
        return Decimal(magnitude, negative);
    } else {
        return Decimal(value, false);
    }
}

}  // namespace

void EmitReaderVectors() {
    XParamParserRef parser = xparam::test::NewParser();
    for (const DocumentInput& in : kDocuments) {
        const bool ok = parser->ParseBytes(reinterpret_cast<const uint8_t*>(in.bytes.data()),
                                           static_cast<int32_t>(in.bytes.size()));
        Emit(std::string("reader/bytes/") + in.what, Hex(in.bytes), Result(parser.Get(), ok));
    }
    for (const TextInput& in : kTexts) {
        const bool ok =
            parser->ParseText(in.bytes.data(), static_cast<int32_t>(in.bytes.size()), in.codePage);
        Emit(std::string("reader/text/") + in.what, Hex(in.bytes), Result(parser.Get(), ok));
    }
    for (const char16_t* text : {u"2147483647", u"2147483648", u"4294967295", u"4294967296", u"-1",
                                 u"0x80000000", u"-2147483649", u"1e400", u" 12 "}) {
        XParamRef node = xparam::test::NewNode(u"v");
        node->SetValue(text, -1);
        const std::u16string input(text);
        const std::string id = "getter/" + std::string(input.begin(), input.end());
        Emit(id + "/long", HexUnits(input), Read<long>(node.Get()));
        Emit(id + "/ulong", HexUnits(input), Read<unsigned long>(node.Get()));
        Emit(id + "/int", HexUnits(input), Read<int>(node.Get()));
        Emit(id + "/int64", HexUnits(input), Read<long long>(node.Get()));
        Emit(id + "/double", HexUnits(input), Read<double>(node.Get()));
    }
}

}  // namespace corvo::conformance
