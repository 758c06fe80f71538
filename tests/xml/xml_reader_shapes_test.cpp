// The reader takes common start tags, end tags and texts in one pass and
// leaves every other shape to its states. Whichever way a document goes, the
// outcome must be the same: a document whose separating spaces are tabs never
// takes the one-pass route, so it serves as the model for the same document
// with spaces, prefix by prefix (each prefix ends the input somewhere else).
#include <gtest/gtest.h>

#include <ostream>
#include <random>
#include <string>

#include "tests/xml/xml_test_support.h"

namespace xparam::test {
namespace {

// Pieces of start tags, end tags and text; `~` is the separator that becomes
// a space in one document and a tab in the other.
constexpr const char16_t* kPieces[] = {
    u"<a",
    u"<item",
    u"<b",
    u"~id=\"1\"",
    u"~x='v'",
    u"~k=\"\"",
    u"~n=\"a b\"",
    u"~q=\"&amp;\"",
    u"~r=\"x\ry\"",
    u"~s=\"t\"u=\"w\"",
    u"~~",
    u"~=",
    u"~9",
    u"~\"",
    u"~a b",
    u" =\"1\"",
    u"~c=1",
    u"~d=\"",
    u"~e='\"'",
    u">",
    u"/>",
    u"~/>",
    u"~>",
    u"text",
    u"\r\n\t",
    u"&lt;",
    u"</a>",
    u"</item>",
    u"</b>",
    u"</a~>",
    u"</x>",
    u"</",
    u"<!--c-->",
    u"~\r\n",
    u"~<",
    u"\xe4\xf6",
    u"~\xe4=\"\x4e2d\"",
};

struct Outcome {
    bool ok;
    ParseError error;
    int32_t line;
    int32_t column;
    uint32_t position;
    std::string tree;

    bool operator==(const Outcome&) const = default;
    friend void PrintTo(const Outcome& o, std::ostream* out) {
        *out << (o.ok ? "ok" : "failed") << " error " << static_cast<int>(o.error) << " at "
             << o.line << ":" << o.column << " (" << o.position << ") " << o.tree;
    }
};

Outcome ParseOf(XParamParser* parser, const std::u16string& text, size_t length) {
    Outcome o{};
    o.ok = parser->ParseText(text.data(), static_cast<int32_t>(length));
    o.error = parser->GetError();
    o.line = parser->GetLine();
    o.column = parser->GetColumn();
    o.position = parser->GetPosition();
    // A separator that ended up inside a text or value reads as itself.
    o.tree = Dump(RootOf(parser).Get());
    for (size_t at; (at = o.tree.find("\\u0009")) != std::string::npos;) o.tree.replace(at, 6, " ");
    return o;
}

std::u16string WithSeparator(const std::u16string& pattern, char16_t separator) {
    std::u16string out = pattern;
    for (char16_t& c : out) {
        if (c == u'~') c = separator;
    }
    return out;
}

TEST(XmlReaderShapes, SpacesAndTabsReadAlike) {
    std::mt19937 random(20261208);
    XParamParserRef parser = NewParser();
    const size_t pieceCount = sizeof kPieces / sizeof kPieces[0];
    for (int round = 0; round < 1500; ++round) {
        std::u16string pattern;
        const int pieces = 1 + static_cast<int>(random() % 12);
        for (int k = 0; k < pieces; ++k) pattern += kPieces[random() % pieceCount];
        const std::u16string spaced = WithSeparator(pattern, u' ');
        const std::u16string tabbed = WithSeparator(pattern, u'\t');
        SCOPED_TRACE(Narrow(spaced));
        for (size_t length = 1; length <= spaced.size(); ++length) {
            SCOPED_TRACE(length);
            ASSERT_EQ(ParseOf(parser.Get(), spaced, length), ParseOf(parser.Get(), tabbed, length));
        }
    }
}

// The one-pass route's results, spelled out for the shapes it takes.
TEST(XmlReaderShapes, CommonShapesGiveTheirTrees) {
    struct Case {
        std::u16string_view input;
        std::string tree;
    };
    const Case cases[] = {
        {u"<item id=\"1000\">value</item>", "{item=\"value\"{@id=\"1000\"}}"},
        {u"<a x='1' y=\"\" z=\"2\"/>", "{a{@x=\"1\" @y=\"\" @z=\"2\"}}"},
        {u"<a x=\"1\"y=\"2\"></a>", "{a{@x=\"1\" @y=\"2\"}}"},
        {u"<a x=\"'\" y='\"'>t</a>", "{a=\"t\"{@x=\"'\" @y=\"\"\"}}"},
        {u"<a x=\"1&amp;2\" y=\"3\">t</a>", "{a=\"t\"{@x=\"1&2\" @y=\"3\"}}"},
        {u"<r>\r\n\t<a  b=\"1\"/>\r\n\t<c/>\r\n</r>", "{r{a{@b=\"1\"} c}}"},
    };
    XParamParserRef parser = NewParser();
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.input));
        EXPECT_TRUE(parser->ParseText(c.input.data(), static_cast<int32_t>(c.input.size())));
        EXPECT_EQ(Dump(RootOf(parser.Get()).Get()), c.tree);
    }
}

}  // namespace
}  // namespace xparam::test
