#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/file_stream.h"
#include "tests/common/scratch_directory.h"
#include "xparam/encoding_sniffer.h"
#include "xparam/encoding_table.h"
#include "xparam/file_loader.h"
#include "xparam/text_codec.h"

namespace {

using namespace xparam;

struct Sniffed {
    bool ok;
    std::string name;
    int mark;
};

Sniffed Sniff(const std::string& bytes) {
    char name[kEncodingNameSize];
    std::memset(name, 'z', sizeof(name));
    int mark = -1;
    const bool ok =
        SniffEncoding(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), name, mark);
    EXPECT_EQ(std::memchr(name, 0, sizeof(name)) != nullptr, true);
    return {ok, name, mark};
}

TEST(SniffEncoding, Table) {
    using namespace std::string_literals;
    struct Case {
        std::string bytes;
        bool ok;
        const char* name;
        int mark;
    };
    const Case cases[] = {
        {"<\0a\0"s, true, "utf-16le", 0},
        {"\0<\0a"s, true, "utf-16be", 0},
        {"\xFF\xFE<\0"s, true, "utf-16le", 2},
        {"\xFF\xFE<\0?\0x\0m\0l\0 encoding=\"gbk\""s, true, "utf-16le", 2},
        {"\xFE\xFF\0<"s, true, "utf-16be", 2},
        {"\xEF\xBB\xBF<a/>", true, "utf-8", 3},
        {"\xEF\xBB\xBF\n<a/>", true, "", 0},
        {"<?xml version=\"1.0\" encoding=\"GB2312\"?>", true, "gb2312", 0},
        {"<?xml version='1.0' encoding='x-cp20936'?>", true, "x-cp20936", 0},
        {"<?xml\tversion = \"1.0\"\t encoding =\t'utf-8\"?>", true, "utf-8", 0},
        {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", true, "windows-1252", 0},
        {"<?xml version=\"1.0\" encoding=\"utf.8\"?>", true, "", 0},
        {"<?xml version=\"1.1\" encoding=\"gbk\"?>", true, "", 0},
        {"<?xml version=\"1.0\" standalone=\"yes\" encoding=\"gbk\"?>", true, "", 0},
        {"<?xml\nversion=\"1.0\" encoding=\"gbk\"?>", true, "", 0},
        {"<?xml version=\"1.0\"\nencoding=\"gbk\"?>", true, "", 0},
        {"<?xml version=\"1.0\"?><a/>", true, "", 0},
        {"<root/>", true, "", 0},
        {"<?xml version=", false, "", 0},
        {"<?xml version=\"1.0\" encoding=\"gbk", false, "", 0},
        {"<?xml version=\"1.0\" encoding=\"", false, "", 0},
        {"<?xml", false, "", 0},
        {"<?x", false, "", 0},
        {"", false, "", 0},
        {"<?xml version=\"1.0\" encoding=\"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789\"?>", true,
         "abcdefghijklmnopqrstuvwxyz01234", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const Sniffed s = Sniff(c.bytes);
        EXPECT_EQ(s.ok, c.ok);
        EXPECT_EQ(s.name, c.name);
        EXPECT_EQ(s.mark, c.mark);
    }
}

TEST(EncodingTable, Lookup) {
    EXPECT_EQ(LookupCodePage(""), 65001u);
    EXPECT_EQ(LookupCodePage("utf8"), 65001u);
    EXPECT_EQ(LookupCodePage("unicode"), 1200u);
    EXPECT_EQ(LookupCodePage("unicodefffe"), 1201u);
    EXPECT_EQ(LookupCodePage("gb2312"), 936u);
    EXPECT_EQ(LookupCodePage("x-cp20936"), 20936u);
    EXPECT_EQ(LookupCodePage("hz-gb-2312"), 52936u);
    EXPECT_EQ(LookupCodePage("us-ascii"), 20127u);
    EXPECT_EQ(LookupCodePage("GBK"), 0u);  // exact comparison
    EXPECT_EQ(LookupCodePage("windows-1252"), 0u);
    EXPECT_EQ(LookupCodePage(nullptr), 0u);
    for (const EncodingTableRow& row : EncodingTable) {
        EXPECT_LT(std::strlen(row.name), 32u);
        for (const char* p = row.name; *p; ++p) EXPECT_FALSE(*p >= 'A' && *p <= 'Z');
    }
}

std::vector<uint8_t> Bytes(const uint8_t* p, size_t n) {
    return {p, p + n};
}

TEST(DecodeText, ByCodePage) {
    ConversionState state;
    const char16_t* text = nullptr;
    size_t length = 99;
    // UTF-16LE: the input itself, odd last byte dropped.
    alignas(2) const uint8_t le[] = {'<', 0, 'a', 0, 'x'};
    ASSERT_TRUE(DecodeText(le, sizeof(le), 1200, text, length, state));
    EXPECT_EQ(std::u16string(text, length), u"<a");
    EXPECT_EQ(static_cast<const void*>(text), static_cast<const void*>(le));
    EXPECT_EQ(state.wide, nullptr);
    // Unaligned input is copied rather than read misaligned.
    alignas(2) const uint8_t shifted[] = {0, '<', 0, 'a', 0};
    ASSERT_TRUE(DecodeText(shifted + 1, 4, 1200, text, length, state));
    EXPECT_EQ(std::u16string(text, length), u"<a");
    const uint8_t be[] = {0, '<', 0xD8, 0x3D, 0xDE, 0x00};
    ASSERT_TRUE(DecodeText(be, sizeof(be), 1201, text, length, state));
    EXPECT_EQ(std::u16string(text, length), u"<\U0001F600");
    const char* utf8 = "<a>\xE4\xB8\xAD\xFF</a>";
    ASSERT_TRUE(DecodeText(reinterpret_cast<const uint8_t*>(utf8), std::strlen(utf8), 65001, text,
                           length, state));
    EXPECT_EQ(std::u16string(text, length), u"<a>\u4E2D\uFFFD</a>");
    const char* gbk = "\xD6\xD0\x80";
    ASSERT_TRUE(DecodeText(reinterpret_cast<const uint8_t*>(gbk), 3, 936, text, length, state));
    EXPECT_EQ(std::u16string(text, length), u"\u4E2D\u20AC");
    // Empty input of a converted code page fails with empty outputs.
    EXPECT_FALSE(DecodeText(le, 0, 65001, text, length, state));
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(length, 0u);
    EXPECT_FALSE(DecodeText(le, 4, 99999, text, length, state));
}

struct Encoded {
    bool ok;
    std::vector<uint8_t> mark;
    std::vector<uint8_t> bytes;
};

Encoded Encode(const char16_t* name, const std::u16string& text) {
    ConversionState state;
    ByteOrderMark mark{};
    const uint8_t* out = nullptr;
    size_t n = 0;
    const bool ok =
        EncodeText(name, text.data(), static_cast<int32_t>(text.size()), mark, out, n, state);
    return {ok, Bytes(mark.bytes, static_cast<size_t>(mark.length)),
            out ? Bytes(out, n) : Bytes(nullptr, 0)};
}

TEST(EncodeText, ByName) {
    const std::vector<uint8_t> utf8Mark = {0xEF, 0xBB, 0xBF};
    Encoded e = Encode(u"UTF-8", u"a\u4E2D");
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.mark, utf8Mark);
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{'a', 0xE4, 0xB8, 0xAD}));
    e = Encode(nullptr, u"a");
    EXPECT_EQ(e.mark, utf8Mark);
    e = Encode(u"utf-16", u"ab");
    EXPECT_EQ(e.mark, (std::vector<uint8_t>{0xFF, 0xFE}));
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{'a', 0, 'b', 0}));
    e = Encode(u"unicodeFFFE", u"ab");
    EXPECT_EQ(e.mark, (std::vector<uint8_t>{0xFE, 0xFF}));
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{0, 'a', 0, 'b'}));
    e = Encode(u"big5", u"\u4E2D");
    ASSERT_TRUE(e.ok);
    EXPECT_TRUE(e.mark.empty());
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{0xA4, 0xA4}));
    e = Encode(u"GBK", u"\u4E2D\u20AC\U0001F600");
    ASSERT_TRUE(e.ok);
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{0xD6, 0xD0, 0x80, '?', '?'}));
    // Only the low byte of each unit of the name counts: U+0167 reads as "g".
    e = Encode(u"\u0167bk", u"\u4E2D");
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{0xD6, 0xD0}));
    e = Encode(u"utf-8", u"");
    EXPECT_FALSE(e.ok);
    EXPECT_TRUE(e.mark.empty());
    e = Encode(u"utf-16", u"");
    EXPECT_TRUE(e.ok);
    EXPECT_TRUE(e.bytes.empty());
    // A long text in a code page whose first guess of the size is too small.
    // (Not where the system has no GB18030 converter: Wine has none.)
    const std::u16string rare(5000, u'\u00A5');  // four bytes each in GB18030
    const char16_t probe = u'a';
    if (corvo::platform::WideCharToMultiByte(54936, &probe, 1, nullptr, 0) > 0) {
        e = Encode(u"gb18030", rare);
        ASSERT_TRUE(e.ok);
        EXPECT_EQ(e.bytes.size(), 4 * rare.size());
    }
}

TEST(ToWide, Contract) {
    WideString s;
    s.Assign(u"old", 3);
    ASSERT_TRUE(ToWide(nullptr, -1, 65001, s));
    EXPECT_EQ(s.Length(), 0u);
    s.Assign(u"old", 3);
    ASSERT_TRUE(ToWide("abc", 0, 65001, s));
    EXPECT_EQ(s.Length(), 0u);
    ASSERT_TRUE(ToWide("a\xC3\xA9", -1, 65001, s));
    EXPECT_EQ(std::u16string(s.View()), u"a\u00E9");
    ASSERT_TRUE(ToWide("a\0b", 3, 65001, s));  // embedded NUL survives
    EXPECT_EQ(std::u16string(s.View()), std::u16string(u"a\0b", 3));
    ASSERT_TRUE(ToWide("\xD6\xD0\xCE\xC4", 4, 936, s));
    EXPECT_EQ(std::u16string(s.View()), u"\u4E2D\u6587");
    ASSERT_TRUE(ToWide("\xD6\xD0\xCE", 3, 936, s));  // truncated character
    const std::u16string truncated(s.View());
    if (truncated != u"\u4E2D?") {
        EXPECT_EQ(truncated, u"\u4E2D\uFFFD");  // "?" on Windows
    }
    s.Assign(u"old", 3);
    EXPECT_FALSE(ToWide("abc", 3, 12345678, s));
    EXPECT_EQ(s.Length(), 0u);
}

// A file with the given contents in a scratch directory of its own.
class TempFile {
  public:
    explicit TempFile(const std::string& contents) : path_(dir_.generic() + "/file.xml") {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        EXPECT_NE(f, nullptr) << path_;
        if (f == nullptr) return;
        EXPECT_EQ(std::fwrite(contents.data(), 1, contents.size(), f), contents.size());
        std::fclose(f);
    }
    const std::string& path() const { return path_; }

  private:
    corvo::test::ScratchDirectory dir_{"xparam_text_"};
    std::string path_;
};

TEST(ReadWholeFile, NarrowAndWidePaths) {
    const std::string contents("<a>\0\xFF</a>\r\n", 11);
    TempFile file(contents);
    std::unique_ptr<uint8_t[]> block;
    size_t size = 0;
    ASSERT_TRUE(ReadWholeFile(file.path().c_str(), block, size));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(block.get()), size), contents);
    const std::u16string wide(file.path().begin(), file.path().end());
    ASSERT_TRUE(ReadWholeFile(wide.c_str(), block, size));
    EXPECT_EQ(size, contents.size());

    TempFile empty("");
    ASSERT_TRUE(ReadWholeFile(empty.path().c_str(), block, size));
    EXPECT_EQ(size, 0u);

    EXPECT_FALSE(ReadWholeFile("/nonexistent/dir/file.xml", block, size));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_FALSE(ReadWholeFile(static_cast<const char*>(nullptr), block, size));
    EXPECT_FALSE(ReadWholeFile(static_cast<const char16_t*>(nullptr), block, size));
    EXPECT_FALSE(ReadWholeFile("/tmp", block, size));  // a directory
}

// A file made through a wide path with characters beyond the BMP is read
// through the same wide path (UTF-8 on disk on POSIX, UTF-16 on Windows).
TEST(ReadWholeFile, WidePathsWithAnyCharacter) {
    const corvo::test::ScratchDirectory scratch("xparam_text_dir_");
    ASSERT_FALSE(scratch.path().empty());
    const std::string dir = scratch.generic();
    std::u16string wide(dir.begin(), dir.end());
    wide += u"/\u4E2D\U0001F600.xml";
    {
        corvo::platform::FileStream f = corvo::platform::FileStream::Open(wide.c_str(), "wb");
        ASSERT_TRUE(f);
        ASSERT_EQ(std::fwrite("<x/>", 1, 4, f.get()), 4u);
        ASSERT_TRUE(f.Close());
    }
    std::unique_ptr<uint8_t[]> block;
    size_t size = 0;
    EXPECT_TRUE(ReadWholeFile(wide.c_str(), block, size));
    EXPECT_EQ(size, 4u);
}

}  // namespace
