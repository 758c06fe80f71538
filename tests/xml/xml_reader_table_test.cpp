// The reader, one row per case: the input, the error, where it stopped and the
// tree built. Together the rows pass through every transition of the reader's
// state table at least once.
#include <gtest/gtest.h>

#include <string>

#include "tests/xml/xml_test_support.h"

namespace xparam::test {
namespace {

constexpr int kAny = -1;

struct ReaderCase {
    std::u16string input;
    ParseError error;
    int line;  // kAny: not checked
    int column;
    int position;
    std::string tree;  // Dump of the document node
};

using E = ParseError;

const ReaderCase kCases[] = {
    // Text, commit rule, trimming, line-break dropping.
    {u"<a>hello</a>", E::None, 1, 12, 12, "{a=\"hello\"}"},
    {u"<a>  x  </a>", E::None, kAny, kAny, kAny, "{a=\"x\"}"},
    {u"<a>   </a>", E::None, kAny, kAny, kAny, "{a}"},
    {u"<a>x\r\ny</a>", E::None, 2, 5, 11, "{a=\"xy\"}"},
    {u"<a>x&#13;&#10;y</a>", E::None, kAny, kAny, kAny, "{a=\"x\\u000d\\u000ay\"}"},
    {u"<a>x<b/>y</a>", E::None, kAny, kAny, kAny, "{a=\"x\"{b}}"},
    {u"<a><b/>y</a>", E::None, kAny, kAny, kAny, "{a=\"y\"{b}}"},
    {u"<a>&#32;x&#32;</a>", E::None, kAny, kAny, kAny, "{a=\"x\"}"},
    {u"<a>&#32;</a>", E::None, kAny, kAny, kAny, "{a}"},
    {u"x<a/>y<b/>z", E::None, kAny, kAny, kAny, "{a b}"},
    {u"<a>x</a>y", E::None, kAny, kAny, kAny, "{a=\"x\"}"},
    {u"<a>text", E::None, kAny, kAny, kAny, "{a}"},
    {u"<a><b>text", E::None, kAny, kAny, kAny, "{a{b}}"},
    {u"<a><b><c/></b></a>", E::None, kAny, kAny, kAny, "{a{b{c}}}"},
    {u"<\u00e9>\u00fc</\u00e9>", E::None, kAny, kAny, kAny, "{\\u00e9=\"\\u00fc\"}"},
    {u"\ufeff<a/>", E::None, kAny, kAny, kAny, "{a}"},
    // Element names, end tags.
    {u"<1a/>", E::None, kAny, kAny, kAny, "{1a}"},
    {u"<-x.y:z_/>", E::None, kAny, kAny, kAny, "{-x.y:z_}"},
    {u"<a></a >", E::None, kAny, kAny, kAny, "{a}"},
    {u"<a></a\r\n>", E::None, 2, 1, 9, "{a}"},
    {u"<a\r\n/>", E::None, 2, 2, 6, "{a}"},
    {u"<a/ >", E::None, kAny, kAny, kAny, "{a}"},
    {u"<a></a", E::None, kAny, kAny, kAny, "{a}"},
    {u"<a></b>", E::TagMismatch, 1, 7, 7, "{a}"},
    {u"<a></A>", E::TagMismatch, 1, 7, 7, "{a}"},
    {u"<a></ab>", E::TagMismatch, 1, 8, 8, "{a}"},
    {u"</>", E::TagMismatch, 1, 3, 3, ""},
    {u"</a>", E::TagMismatch, 1, 4, 4, ""},
    {u"<a></a b>", E::BadSyntax, 1, 8, 8, "{a}"},
    {u"<a></a/>", E::BadSyntax, 1, 7, 7, "{a}"},
    {u"< a>", E::BadSyntax, 1, 2, 2, ""},
    {u"<a!>", E::BadSyntax, 1, 3, 3, "{a}"},
    {u"<a/x>", E::BadSyntax, 1, 4, 4, "{a}"},
    // Attributes.
    {u"<a x='1' y='2'/>", E::None, kAny, kAny, kAny, "{a{@x=\"1\" @y=\"2\"}}"},
    {u"<a x='1' x='2'/>", E::None, kAny, kAny, kAny, "{a{@x=\"1\" @x=\"2\"}}"},
    {u"<a x=\"1\"y=\"2\">t</a>", E::None, kAny, kAny, kAny, "{a=\"t\"{@x=\"1\" @y=\"2\"}}"},
    {u"<a x = \"1\" />", E::None, kAny, kAny, kAny, "{a{@x=\"1\"}}"},
    {u"<a x=' \t1 '/>", E::None, kAny, kAny, kAny, "{a{@x=\" \\u00091 \"}}"},
    {u"<a x='1>2'/>", E::None, kAny, kAny, kAny, "{a{@x=\"1>2\"}}"},
    {u"<a x='1\r\n2'/>", E::None, kAny, kAny, kAny, "{a{@x=\"12\"}}"},
    {u"<a x=\"it's\"/>", E::None, kAny, kAny, kAny, "{a{@x=\"it's\"}}"},
    {u"<a x='\"<'/>", E::None, kAny, kAny, kAny, "{a{@x=\"\"<\"}}"},
    {u"<a x=\"&lt;&#x9;\"/>", E::None, kAny, kAny, kAny, "{a{@x=\"<\\u0009\"}}"},
    {u"<a x=''/>", E::None, kAny, kAny, kAny, "{a{@x=\"\"}}"},
    {u"<a x='1", E::None, kAny, kAny, kAny, "{a{x}}"},
    {u"<a x", E::None, kAny, kAny, kAny, "{a{x}}"},
    {u"<a x>", E::BadSyntax, 1, 5, 5, "{a{x}}"},
    {u"<a x=1>", E::BadSyntax, 1, 6, 6, "{a{x}}"},
    {u"<a x=>", E::BadSyntax, 1, 6, 6, "{a{x}}"},
    {u"<a x y>", E::BadSyntax, 1, 6, 6, "{a{x}}"},
    {u"<a =>", E::BadSyntax, 1, 4, 4, "{a}"},
    {u"<a x=\"&lt\"/>", E::BadEntity, 1, 10, 10, "{a{x}}"},
    {u"<a x=\"&<;\"/>", E::BadEntity, 1, 9, 9, "{a{x}}"},
    // References.
    {u"<a>&amp;&lt;&gt;&quot;&apos;</a>", E::None, kAny, kAny, kAny, "{a=\"&<>\"'\"}"},
    {u"<a>&#65;&#x41;&#x4a;&#x4A;</a>", E::None, kAny, kAny, kAny, "{a=\"AAJJ\"}"},
    {u"<a>&#x1F600;</a>", E::None, kAny, kAny, kAny, "{a=\"\\uf600\"}"},
    {u"<a>&#65601;</a>", E::None, kAny, kAny, kAny, "{a=\"A\"}"},
    {u"<a>&#;&#x;</a>", E::None, kAny, kAny, kAny, "{a=\"\\u0000\\u0000\"}"},
    {u"<a>&#X41;</a>", E::BadEntity, 1, 9, 9, "{a}"},
    {u"<a>&#4a;</a>", E::BadEntity, 1, 8, 8, "{a}"},
    {u"<a>&#xg;</a>", E::BadEntity, 1, 8, 8, "{a}"},
    {u"<a>&foo;</a>", E::BadEntity, 1, 8, 8, "{a}"},
    {u"<a>&AMP;</a>", E::BadEntity, 1, 8, 8, "{a}"},
    {u"<a>&;</a>", E::BadEntity, 1, 5, 5, "{a}"},
    {u"<a>& x</a>", E::BadEntity, 1, 7, 7, "{a}"},
    {u"<a>&a\r\nmp;</a>", E::BadEntity, 2, 3, 10, "{a}"},
    {u"<a>&amp", E::None, kAny, kAny, kAny, "{a}"},
    // CDATA sections.
    {u"<a><![CDATA[<&>]]></a>", E::None, kAny, kAny, kAny, "{!a=\"<&>\"}"},
    {u"<a><![CDATA[x]]]></a>", E::None, kAny, kAny, kAny, "{!a=\"x]\"}"},
    {u"<a><![CDATA[x]]]]]></a>", E::None, kAny, kAny, kAny, "{!a=\"x]]]\"}"},
    {u"<a><![CDATA[x]>]y]]></a>", E::None, kAny, kAny, kAny, "{!a=\"x]>]y\"}"},
    {u"<a><![CDATA[]]></a>", E::None, kAny, kAny, kAny, "{!a=\"\"}"},
    {u"<a><![CDATA[ x\r\ny ]]></a>", E::None, 2, 9, 25, "{!a=\" x\\u000d\\u000ay \"}"},
    {u"<a><![CD\r\nATA[x]]></a>", E::None, kAny, kAny, kAny, "{!a=\"x\"}"},
    {u"<a><![FOO[x]]></a>", E::None, kAny, kAny, kAny, "{a=\"x\"}"},
    {u"<a><![CDATAX[x]]></a>", E::None, kAny, kAny, kAny, "{a=\"x\"}"},
    {u"<a>x<![CDATA[y]]>z</a>", E::None, kAny, kAny, kAny, "{!a=\"y\"}"},
    {u"<a><![CDATA[x]]><![CDATA[y]]></a>", E::None, kAny, kAny, kAny, "{!a=\"xy\"}"},
    {u"<a><![CDATA[x]]> <![CDATA[y]]></a>", E::None, kAny, kAny, kAny, "{!a=\"y\"}"},
    {u"<a><![CDATA[x", E::None, kAny, kAny, kAny, "{!a=?1}"},
    {u"<a><![CDATA[x]]", E::None, kAny, kAny, kAny, "{!a=?1}"},
    {u"<![CDATA[x]]>", E::None, kAny, kAny, kAny, "!=\"x\""},
    // Comments, processing instructions, declarations.
    {u"<?xml version='1.0'?><!-- c --><!DOCTYPE a><a/>", E::None, kAny, kAny, kAny, "{a}"},
    {u"<!---->", E::None, 1, 7, 7, ""},
    {u"<!-- a - b -\r\n-->", E::None, 2, 3, 17, ""},
    {u"<!-- a -- b -->", E::BadSyntax, 1, 10, 10, ""},
    {u"<!- x>", E::BadSyntax, 1, 4, 4, ""},
    {u"<!-- open", E::None, kAny, kAny, kAny, ""},
    {u"<?"
     u"?>",
     E::BadSyntax, 1, 3, 3, ""},
    {u"<? x?>", E::BadSyntax, 1, 3, 3, ""},
    {u"<?pi?>", E::None, kAny, kAny, kAny, ""},
    {u"<?pi?x>", E::BadSyntax, 1, 6, 6, ""},
    {u"<?pi-x>", E::BadSyntax, 1, 7, 7, ""},
    {u"<?pi a?b>?c?"
     u"?>x<a/>",
     E::None, kAny, kAny, kAny, "{a}"},
    {u"<?pi\r\nx?>", E::None, 2, 3, 9, ""},
    {u"<!>x<a/><b/>", E::None, kAny, kAny, kAny, "{b}"},
    {u"<!\r\nDOCTYPE\r\n>", E::None, 3, 1, 14, ""},
    {u"<!DOCTYPE a [<!ENTITY x 'y'>]><a/>", E::None, kAny, kAny, kAny, "{a}"},
    // Markup openers.
    {u"<", E::None, 1, 1, 1, ""},
    {u"<>", E::BadSyntax, 1, 2, 2, ""},
    {u"<&", E::BadSyntax, 1, 2, 2, ""},
    // Line and column counting.
    {u"<a>\r\n<b!>", E::BadSyntax, 2, 3, 8, "{a{b}}"},
    {u"<a>\r<b!>", E::BadSyntax, 2, 3, 7, "{a{b}}"},
    {u"<a>\n\n< ", E::BadSyntax, 3, 2, 7, "{a}"},
    {u"<\r", E::BadSyntax, 1, 2, 2, ""},
    {u"<\r\n", E::BadSyntax, 1, 2, 2, ""},
    {u"<a\r\n=", E::BadSyntax, 2, 1, 5, "{a}"},
    {u"<a/>\r\n", E::None, 1, 6, 6, "{a}"},
    {u"<a/>\r", E::None, 1, 5, 5, "{a}"},
    {u"<a/>\n\r", E::None, 2, 1, 6, "{a}"},
};

TEST(XmlReaderTable, EveryRow) {
    XParamParserRef parser = NewParser();
    for (const ReaderCase& c : kCases) {
        SCOPED_TRACE(Narrow(c.input));
        const bool ok = parser->ParseText(c.input.data(), static_cast<int32_t>(c.input.size()));
        EXPECT_EQ(ok, c.error == E::None);
        EXPECT_EQ(parser->GetError(), c.error);
        if (c.line != kAny) {
            EXPECT_EQ(parser->GetLine(), c.line);
            EXPECT_EQ(parser->GetColumn(), c.column);
            EXPECT_EQ(parser->GetPosition(), static_cast<uint32_t>(c.position));
        }
        XParamRef root = RootOf(parser.Get());
        ASSERT_TRUE(root);
        EXPECT_EQ(Dump(root.Get()), c.tree);
    }
}

// The same rows through the byte entry point as UTF-8 and as UTF-16LE: the
// decoded text is what the reader sees.
TEST(XmlReaderTable, ByteInputAgrees) {
    XParamParserRef parser = NewParser();
    for (const ReaderCase& c : kCases) {
        if (c.input.size() < 2 || c.input[0] != u'<') continue;
        SCOPED_TRACE(Narrow(c.input));
        std::string bytes;
        for (char16_t u : c.input) {
            bytes += static_cast<char>(u & 0xFF);
            bytes += static_cast<char>(u >> 8);
        }
        const bool ok = parser->ParseBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                                           static_cast<int32_t>(bytes.size()));
        EXPECT_EQ(ok, c.error == E::None);
        EXPECT_EQ(parser->GetError(), c.error);
        XParamRef root = RootOf(parser.Get());
        EXPECT_EQ(Dump(root.Get()), c.tree);
    }
}

}  // namespace
}  // namespace xparam::test
