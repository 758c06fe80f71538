// Write-then-read round trips on generated trees, deep documents, and the
// regression inputs found by fuzzing.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/xml/xml_test_support.h"
#include "tests/xml/xml_tree_generator.h"

namespace xparam::test {
namespace {

TEST(XmlRoundTrip, GeneratedTreesReadBackEqual) {
    std::mt19937 random(20261207);
    XParamParserRef parser = NewParser();
    for (int round = 0; round < 300; ++round) {
        XmlTreeGenerator generator(
            [&random](uint32_t bound) { return static_cast<uint32_t>(random() % bound); });
        XParamRef tree = generator.Make();
        const char16_t* indent = round % 3 == 0 ? u"" : u"\t";
        const char16_t* lineBreak = round % 2 == 0 ? u"\r\n" : u"";
        const std::u16string xml = ToXml(tree.Get(), indent, lineBreak);
        SCOPED_TRACE(Narrow(xml));
        ASSERT_TRUE(parser->ParseText(xml.data(), static_cast<int32_t>(xml.size())));
        XParamRef back = XParamRef::Adopt(RootOf(parser.Get())->GetDocumentElement());
        XParamRef expected = NormalisedForXml(tree.Get());
        EXPECT_EQ(Dump(back.Get()), Dump(expected.Get()));
    }
}

TEST(XmlRoundTrip, CdataWithTheClosingDelimiter) {
    XParamParserRef parser = NewParser();
    for (std::u16string_view text :
         {u"]]>", u"a]]>b", u"]]]]>>", u"x]]>]]>]]>y", u"]]", u"]", u">", u"]]>\r\n]]>"}) {
        XParamRef t = NewNode(u"t");
        t->SetNodeKind(NodeKind::CData);
        t->SetValue(text.data(), static_cast<int>(text.size()));
        AddText(t.Get(), u"child", text, NodeKind::CData);
        const std::u16string xml = ToXml(t.Get());
        SCOPED_TRACE(Narrow(xml));
        ASSERT_TRUE(parser->ParseText(xml.data(), static_cast<int32_t>(xml.size())));
        XParamRef back = XParamRef::Adopt(RootOf(parser.Get())->GetDocumentElement());
        EXPECT_EQ(Dump(back.Get()), Dump(t.Get()));
    }
}

// Deep chains: the reader keeps no stack and the writer and Traverse walk
// links, so depth is bounded by memory only.
constexpr int kDepth = 1000000;

bool CountNodes(XParam*, void* user) {
    ++*static_cast<int*>(user);
    return true;
}

TEST(XmlDeep, ReadWriteAndTraverseAMillionLevels) {
    std::u16string xml;
    xml.reserve(static_cast<size_t>(kDepth) * 8);
    for (int k = 0; k < kDepth; ++k) xml += u"<e>";
    xml += u"x";
    for (int k = 0; k < kDepth; ++k) xml += u"</e>";

    XParamParserRef parser = NewParser();
    ASSERT_TRUE(parser->ParseText(xml.data(), static_cast<int32_t>(xml.size())));
    XParamRef root = RootOf(parser.Get());
    parser.Reset();

    int count = 0;
    XParamTraversalRef t = NewTraversal();
    EXPECT_TRUE(t->Traverse(root.Get(), CountNodes, &count));
    EXPECT_EQ(count, kDepth + 1);

    // The innermost element holds the text; written without layout the
    // document comes back unchanged.
    EXPECT_EQ(ToXml(root.Get(), u"", u""), xml);
}

}  // namespace
}  // namespace xparam::test
