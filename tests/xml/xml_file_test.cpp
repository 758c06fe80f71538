// The file form (SaveXml) byte for byte, and reading files and byte input.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/code_page_string.h"
#include "tests/xml/xml_test_support.h"
#include "xparam/encoding_table.h"

namespace xparam::test {
namespace {

class XmlFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/corvo_xml_XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = name;
        wpath_.assign(path_.begin(), path_.end());
    }
    void TearDown() override { std::remove(path_.c_str()); }

    std::string Contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Write(const std::string& bytes) const { std::ofstream(path_, std::ios::binary) << bytes; }

    std::string path_;
    std::u16string wpath_;
};

// r { v "\u4e2d" }, written with a TAB and CR LF.
XParamRef SmallTree() {
    XParamRef r = NewNode(u"r");
    AddText(r.Get(), u"v", u"\u4e2d");
    return r;
}

std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string out;
    for (char16_t u : text) {
        const char lo = static_cast<char>(u & 0xFF);
        const char hi = static_cast<char>(u >> 8);
        out += bigEndian ? hi : lo;
        out += bigEndian ? lo : hi;
    }
    return out;
}

TEST_F(XmlFileTest, SaveXmlByteExactPerEncoding) {
    XParamRef tree = SmallTree();
    XParamTraversalRef t = NewTraversal();
    auto body = [](std::u16string_view name) {
        return u"<?xml version=\"1.0\" encoding=\"" + std::u16string(name) +
               u"\"?>\r\n<r>\r\n\t<v>\u4e2d</v>\r\n</r>\r\n";
    };
    const std::string utf8Body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r>\r\n\t<v>\xe4\xb8\xad</v>\r\n</r>\r\n";

    ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", u""));
    EXPECT_EQ(Contents(), "\xef\xbb\xbf" + utf8Body);
    ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", nullptr));
    EXPECT_EQ(Contents(), "\xef\xbb\xbf" + utf8Body);

    ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", u"UTF-16"));
    EXPECT_EQ(Contents(), "\xff\xfe" + Utf16Bytes(body(u"UTF-16"), false));

    ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", u"utf-16be"));
    EXPECT_EQ(Contents(), "\xfe\xff" + Utf16Bytes(body(u"utf-16be"), true));

    ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", u"gb2312"));
    EXPECT_EQ(
        Contents(),
        "<?xml version=\"1.0\" encoding=\"gb2312\"?>\r\n<r>\r\n\t<v>\xd6\xd0</v>\r\n</r>\r\n");

    // A name outside the table: the process's narrow code page (the C locale
    // of the test is ASCII, so the Chinese character becomes "?"), no mark.
    ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", u"Windows-1252"));
    EXPECT_EQ(Contents(),
              "<?xml version=\"1.0\" encoding=\"Windows-1252\"?>\r\n<r>\r\n\t<v>?</v>\r\n</r>\r\n");
}

TEST_F(XmlFileTest, MultiByteSaveConvertsItsArguments) {
    XParamRef tree = SmallTree();
    XParamTraversalRef t = NewTraversal();
    ASSERT_TRUE(t->SaveXml(tree.Get(), path_.c_str(), "", "\n", "UTF-8", 65001));
    EXPECT_EQ(Contents(),
              "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<r>\n<v>\xe4\xb8\xad</v>\n"
              "</r>\n");
}

TEST_F(XmlFileTest, SaveXmlFailures) {
    XParamRef tree = SmallTree();
    XParamTraversalRef t = NewTraversal();
    EXPECT_FALSE(t->SaveXml(nullptr, wpath_.c_str(), u"\t", u"\r\n", u""));
    EXPECT_FALSE(t->SaveXml(tree.Get(), u"/nonexistent-dir/x.xml", u"\t", u"\r\n", u""));
    EXPECT_FALSE(t->SaveXml(tree.Get(), "/nonexistent-dir/x.xml", "", "", "", 65001));
    EXPECT_FALSE(t->SaveXml(tree.Get(), static_cast<const char16_t*>(nullptr), u"", u"", u""));
    // An unnamed root without children still gives the declaration.
    XParamRef empty = NewNode();
    EXPECT_TRUE(t->SaveXml(empty.Get(), wpath_.c_str(), u"", u"", u""));
    EXPECT_EQ(Contents(), "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"utf-8\"?>");
}

TEST_F(XmlFileTest, SavedFilesReadBack) {
    XParamRef tree = SmallTree();
    XParamTraversalRef t = NewTraversal();
    XParamParserRef p = NewParser();
    for (const char16_t* encoding : {u"", u"utf-16", u"UTF-16BE", u"gbk", u"gb18030"}) {
        SCOPED_TRACE(Narrow(encoding));
        // A system without a converter for the encoding (Wine has none for
        // GB18030) fails the save cleanly; every other saved file reads back.
        const std::string name(encoding, encoding + std::char_traits<char16_t>::length(encoding));
        std::string probe;
        if (corvo::platform::ConvertToCodePage(LookupCodePage(name.c_str()), u"x", probe) !=
            corvo::platform::CodePageStringStatus::kOk) {
            EXPECT_FALSE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", encoding));
            continue;
        }
        ASSERT_TRUE(t->SaveXml(tree.Get(), wpath_.c_str(), u"\t", u"\r\n", encoding));
        ASSERT_TRUE(p->ParseFile(wpath_.c_str()));
        EXPECT_EQ(Dump(RootOf(p.Get()).Get()), "{r{v=\"\\u4e2d\"}}");
        ASSERT_TRUE(p->ParseFile(path_.c_str()));
    }
}

TEST_F(XmlFileTest, ParseFileFailures) {
    XParamParserRef p = NewParser();
    Write("");
    EXPECT_FALSE(p->ParseFile(path_.c_str()));
    EXPECT_EQ(p->GetError(), ParseError::BadEncoding);
    std::remove(path_.c_str());
    EXPECT_FALSE(p->ParseFile(path_.c_str()));
    EXPECT_EQ(p->GetError(), ParseError::FileUnreadable);
    EXPECT_FALSE(p->ParseFile(wpath_.c_str()));
    EXPECT_EQ(p->GetError(), ParseError::FileUnreadable);
    // Reset before the report: a fresh empty document node at line 1, column 0.
    XParamRef root = RootOf(p.Get());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->GetChildCount(), 0u);
    EXPECT_EQ(p->GetLine(), 1);
    EXPECT_EQ(p->GetColumn(), 0);
    EXPECT_FALSE(p->ParseFile(static_cast<const char*>(nullptr)));
    EXPECT_EQ(p->GetError(), ParseError::FileUnreadable);
}

TEST(XmlByteInput, EncodingsAndFailures) {
    XParamParserRef p = NewParser();
    struct Row {
        std::string bytes;
        ParseError error;
        std::string tree;
    } rows[] = {
        {"<a>\xe4\xb8\xad</a>", ParseError::None, "{a=\"\\u4e2d\"}"},
        {"\xef\xbb\xbf<a/>", ParseError::None, "{a}"},
        {"\xef\xbb\xbf\n<a/>", ParseError::None, "{a}"},
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?><a>\xd6\xd0</a>", ParseError::None,
         "{a=\"\\u4e2d\"}"},
        {std::string("\xff\xfe<\0a\0/\0>\0", 10), ParseError::None, "{a}"},
        {std::string("\xfe\xff\0<\0a\0/\0>", 10), ParseError::None, "{a}"},
        {std::string("\0<\0a\0/\0>", 8), ParseError::None, "{a}"},
        {"<a>", ParseError::BadEncoding, ""},
        {"<?xml version=", ParseError::BadEncoding, ""},
        {"<a><b></a>", ParseError::TagMismatch, "{a{b}}"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bytes);
        const bool ok = p->ParseBytes(reinterpret_cast<const uint8_t*>(r.bytes.data()),
                                      static_cast<int32_t>(r.bytes.size()));
        EXPECT_EQ(ok, r.error == ParseError::None);
        EXPECT_EQ(p->GetError(), r.error);
        EXPECT_EQ(Dump(RootOf(p.Get()).Get()), r.tree);
    }
    EXPECT_TRUE(p->ParseBytes(reinterpret_cast<const uint8_t*>("<abc/>"), -1));
    EXPECT_FALSE(p->ParseBytes(nullptr, 10));
    EXPECT_EQ(p->GetError(), ParseError::BadEncoding);
}

TEST(XmlParserLifecycle, RootsEmptyInputAndMultiByteText) {
    XParamParserRef p = NewParser();
    EXPECT_FALSE(RootOf(p.Get()));
    EXPECT_EQ(p->GetLine(), 1);
    EXPECT_EQ(p->GetColumn(), 0);
    EXPECT_EQ(p->GetError(), ParseError::None);

    EXPECT_FALSE(p->ParseText(u"", -1));
    EXPECT_EQ(p->GetError(), ParseError::None);
    EXPECT_FALSE(p->ParseText(u"<a/>", 0));
    EXPECT_FALSE(p->ParseText(static_cast<const char16_t*>(nullptr), 5));
    EXPECT_FALSE(p->ParseText("", -1, 65001));
    EXPECT_EQ(p->GetError(), ParseError::None);
    EXPECT_TRUE(RootOf(p.Get()));

    ASSERT_TRUE(p->ParseText("<a>\xd6\xd0</a>", -1, 936));
    XParamRef first = RootOf(p.Get());
    EXPECT_EQ(Dump(first.Get()), "{a=\"\\u4e2d\"}");
    ASSERT_TRUE(p->ParseText(u"<b/>", -1));
    // Earlier roots stay valid; every parse has its own document node.
    EXPECT_EQ(Dump(first.Get()), "{a=\"\\u4e2d\"}");
    XParamRef detached = XParamRef::Adopt(p->DetachRoot());
    EXPECT_EQ(Dump(detached.Get()), "{b}");
    EXPECT_FALSE(RootOf(p.Get()));
    EXPECT_FALSE(p->DetachRoot());
    XParamRef element = XParamRef::Adopt(detached->GetDocumentElement());
    EXPECT_EQ(Dump(element.Get()), "b");

    // A failure keeps what was built; the tree outlives the parser.
    EXPECT_FALSE(p->ParseText(u"<a><b x='1'/><c></a>", -1));
    XParamRef partial = RootOf(p.Get());
    p.Reset();
    EXPECT_EQ(Dump(partial.Get()), "{a{b{@x=\"1\"} c}}");
}

}  // namespace
}  // namespace xparam::test
