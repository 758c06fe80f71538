// `corvo-sso block` and `corvo-sso doc` run as a user runs them. The library
// is the model: an image the tool writes must equal the library's image byte
// for byte, and the tool must read back what the library wrote.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/payload_scrambler.h"
#include "data/xparam_sl_helper.h"
#include "platform/strict_utf8.h"
#include "tests/common/subprocess.h"

namespace corvo::control {
namespace {

using Outcome = corvo::test::ProgramResult;

std::string TempPath(const std::string& name) {
    static int serial = 0;
    return ::testing::TempDir() + "blocktool_" + std::to_string(getpid()) + "_" +
           std::to_string(++serial) + "_" + name;
}

std::string WriteTemp(const std::string& name, std::string_view content) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary).write(content.data(), std::streamsize(content.size()));
    return path;
}

// Runs corvo-sso with `args`, `input` on its standard input.
Outcome RunTool(const std::vector<std::string>& args, std::string_view input = {}) {
    corvo::test::ProgramOptions options;
    options.input = input;
    return corvo::test::RunTool(CORVO_SSO_PATH, args, options);
}

std::u16string U16(std::string_view utf8) {
    std::u16string out;
    EXPECT_TRUE(platform::StrictUtf8ToUtf16(utf8, out));
    return out;
}

std::string Utf8(std::u16string_view text) {
    std::string out;
    EXPECT_TRUE(platform::StrictUtf16ToUtf8(text, out));
    return out;
}

std::string Hex(const std::array<uint8_t, 5>& bytes) {
    std::string out;
    for (uint8_t b : bytes) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02X", b);
        out += buf;
    }
    return out;
}

std::string Bytes(std::span<const uint8_t> bytes) {
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::span<const uint8_t> AsBytes(std::string_view s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

// The image the library makes for `text`.
std::string LibraryImage(std::u16string_view text, std::u16string_view user,
                         const KeySuffixes& suffixes = ConfiguredKeySuffixes()) {
    std::array<uint8_t, kBlockSize> image{};
    EXPECT_EQ(EncodeBlockImage(image, text, user, suffixes), BlockStatus::kOk);
    return Bytes(image);
}

const std::string kUser = "cnalichnalice";

// Encode then decode, through a file and through standard input; the image is
// the library's, and its payload holds the code page 936 bytes.
TEST(BlockTool, EncodeDecodeRoundTrip) {
    struct Case {
        const char* what;
        std::string input;    // UTF-8
        std::string decoded;  // UTF-8
        std::string gbk;      // the payload's text bytes
    };
    const std::string chinese = "\xE4\xB8\xAD";  // U+4E2D, D6 D0 in code page 936
    std::string fullChinese;
    for (int i = 0; i < 4096; ++i) fullChinese += chinese;
    const Case cases[] = {
        {"ascii", "<SSO_XML_NAME>\r\n</SSO_XML_NAME>\r\n", "<SSO_XML_NAME>\r\n</SSO_XML_NAME>\r\n",
         "<SSO_XML_NAME>\r\n</SSO_XML_NAME>\r\n"},
        {"chinese", "\xE7\x94\xA8\xE6\x88\xB7 " + chinese, "\xE7\x94\xA8\xE6\x88\xB7 " + chinese,
         "\xD3\xC3\xBB\xA7 \xD6\xD0"},
        {"hangul outside 936",
         "a\xED\x95\x9C"
         "b",
         "a?b", "a?b"},
        {"empty", "", "", ""},
        {"8192 ascii bytes", std::string(8192, 'x'), std::string(8192, 'x'),
         std::string(8192, 'x')},
        {"8192 bytes of chinese", fullChinese, fullChinese, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = WriteTemp("text", c.input);
        const Outcome fromFile = RunTool({"block", "encode", "--user", kUser, file});
        std::remove(file.c_str());
        const Outcome fromStdin = RunTool({"block", "encode", "--user", kUser}, c.input);
        ASSERT_EQ(fromFile.exitCode, 0) << fromFile.err;
        ASSERT_EQ(fromStdin.exitCode, 0) << fromStdin.err;
        EXPECT_EQ(fromFile.out, fromStdin.out);
        ASSERT_EQ(fromFile.out.size(), kBlockSize);
        EXPECT_EQ(fromFile.out, LibraryImage(U16(c.input), U16(kUser)));

        std::string payload = fromFile.out.substr(kBlockHeaderSize);
        ASSERT_TRUE(UnscramblePayload(reinterpret_cast<uint8_t*>(payload.data()), payload.size(),
                                      U16(kUser)));
        const BlockHeader h = LoadBlockHeader(AsBytes(fromFile.out).first<kBlockHeaderSize>());
        EXPECT_EQ(h.headerSize, 16u);
        EXPECT_EQ(h.capacity, 8192u);
        EXPECT_EQ(h.reserved, 0u);
        EXPECT_EQ(payload.substr(0, c.gbk.size()), c.gbk);
        if (c.decoded == fullChinese)
            EXPECT_EQ(h.documentLength, 8192u);
        else
            EXPECT_EQ(h.documentLength, c.gbk.size());
        EXPECT_EQ(payload.find_first_not_of('\0', h.documentLength), std::string::npos);

        const Outcome back = RunTool({"block", "decode", "--user", kUser}, fromFile.out);
        ASSERT_EQ(back.exitCode, 0) << back.err;
        EXPECT_EQ(back.out, c.decoded);
    }
}

TEST(BlockTool, TextBeyond8192BytesFails) {
    for (const std::string& text :
         {std::string(8193, 'x'), std::string(8191, 'y') + "\xE4\xB8\xAD", [] {
              std::string s;
              for (int i = 0; i < 4096; ++i) s += "\xE4\xB8\xAD";
              return s + "a";
          }()}) {
        const Outcome o = RunTool({"block", "encode", "--user", kUser}, text);
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_TRUE(o.out.empty());
        EXPECT_NE(o.err.find("more than 8192 bytes"), std::string::npos) << o.err;
    }
}

TEST(BlockTool, InputThatIsNotUtf8OrNotThereFails) {
    Outcome o = RunTool({"block", "encode", "--user", kUser},
                        "a\xFF"
                        "b");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find("not valid UTF-8"), std::string::npos) << o.err;
    EXPECT_TRUE(o.out.empty());
    for (const char* command : {"encode", "decode"}) {
        o = RunTool({"block", command, "--user", kUser, TempPath("missing")});
        EXPECT_EQ(o.exitCode, 1);
        EXPECT_NE(o.err.find("cannot open"), std::string::npos) << o.err;
    }
}

// An image laid out by a client with its own header values.
std::string ForeignImage(const BlockHeader& h, size_t size, std::string_view text) {
    std::string image(size, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(image.data());
    StoreBlockHeader(h, std::span<uint8_t, kBlockHeaderSize>(bytes, kBlockHeaderSize));
    if (CheckBlockHeader(h, size) == BlockHeaderCheck::kOk) {
        image.replace(h.headerSize, text.size(), text);
        EXPECT_TRUE(ScramblePayload(bytes + h.headerSize, h.capacity, U16(kUser)));
    }
    return image;
}

TEST(BlockTool, DecodeHonoursTheHeaderAndSaysWhichCheckFailed) {
    struct Case {
        const char* what;
        BlockHeader header;
        size_t size;
        std::string text;
        int exitCode;
        std::string output;  // standard output, or a part of the message
    };
    const Case cases[] = {
        {"ours", {16, 8192, 5, 0}, 8208, "hello", 0, "hello"},
        {"smaller capacity", {16, 1024, 5, 0}, 16 + 1024, "hello", 0, "hello"},
        {"longer header", {64, 4096, 5, 0}, 64 + 4096, "hello", 0, "hello"},
        {"image longer than the header says", {16, 8, 3, 0}, 8208, "abcdefgh", 0, "abc"},
        {"zero byte before documentLength",
         {16, 8192, 9, 0},
         8208,
         std::string("ab\0cd", 5),
         0,
         "ab"},
        {"empty document", {16, 8192, 0, 0}, 8208, "abc", 0, ""},
        {"capacity 8190", {16, 8190, 5, 0}, 8208, "hello", 1, "capacity is not a multiple of 8"},
        {"documentLength above capacity",
         {16, 1024, 1025, 0},
         8208,
         "hello",
         1,
         "documentLength is greater than capacity"},
        {"capacity beyond the image",
         {16, 8192, 5, 0},
         8200,
         "hello",
         1,
         "beyond the end of the block"},
        {"huge header size",
         {0xFFFFFFF8u, 16, 5, 0},
         8208,
         "hello",
         1,
         "beyond the end of the block"},
        {"shorter than a header", {16, 0, 0, 0}, 15, "", 1, "fewer than the 16-byte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string image = ForeignImage(c.header, std::max<size_t>(c.size, 16), c.text);
        image.resize(c.size);
        const Outcome o = RunTool({"block", "decode", "--user", kUser}, image);
        EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(o.out, c.output);
        } else {
            EXPECT_TRUE(o.out.empty());
            EXPECT_NE(o.err.find(c.output), std::string::npos) << o.err;
        }
    }
}

// Another user's key unscrambles to garbage: the decode itself succeeds (it
// cannot know), as the control's read does, and the text does not come back.
TEST(BlockTool, WrongUserGivesGarbage) {
    const std::string text = "<SSO_XML_NAME>\r\n\t<result>1</result>\r\n</SSO_XML_NAME>\r\n";
    const std::string image = LibraryImage(U16(text), U16(kUser));
    for (const std::string& other : {kUser + "x", std::string("cnalichnalicf"), std::string("")}) {
        const Outcome o = RunTool({"block", "decode", "--user", other}, image);
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(o.out.find("<SSO_XML_NAME>"), std::string::npos) << other;
    }
}

// The DES key takes the suffix only for user IDs of fewer than 8 bytes; with
// 3 bytes all five suffix bytes count, so each override changes the result.
TEST(BlockTool, SuffixOverrides) {
    const std::string user = "abc";
    const std::string text = "<SSO_XML_NAME>\r\n</SSO_XML_NAME>\r\n";
    const KeySuffixes mine{{0x01, 0x02, 0x00, 0x03, 0x04}, {0x00, 0xAB, 0xCD, 0xEF, 0x11}};
    const std::vector<std::string> overrides = {"--xor-suffix", Hex(mine.xorSuffix), "--des-suffix",
                                                Hex(mine.desSuffix)};
    auto with = [](std::vector<std::string> args, const std::vector<std::string>& more) {
        args.insert(args.end(), more.begin(), more.end());
        return args;
    };
    const Outcome encoded = RunTool(with({"block", "encode", "--user", user}, overrides), text);
    ASSERT_EQ(encoded.exitCode, 0) << encoded.err;
    EXPECT_EQ(encoded.out, LibraryImage(U16(text), U16(user), mine));
    EXPECT_NE(encoded.out, LibraryImage(U16(text), U16(user)));

    Outcome o = RunTool(with({"block", "decode", "--user", user}, overrides), encoded.out);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, text);
    // Without them, or with only one of them, the text does not come back.
    for (const std::vector<std::string>& partial :
         {std::vector<std::string>{}, std::vector<std::string>{overrides[0], overrides[1]},
          std::vector<std::string>{overrides[2], overrides[3]}}) {
        o = RunTool(with({"block", "decode", "--user", user}, partial), encoded.out);
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_NE(o.out, text);
    }
    // The configured values given explicitly change nothing; lower case is fine.
    const KeySuffixes configured = ConfiguredKeySuffixes();
    std::string lowerXor = Hex(configured.xorSuffix);
    for (char& ch : lowerXor) ch = char(std::tolower(uint8_t(ch)));
    o = RunTool({"block", "encode", "--user", user, "--xor-suffix", lowerXor, "--des-suffix",
                 Hex(configured.desSuffix)},
                text);
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, LibraryImage(U16(text), U16(user)));
}

TEST(BlockTool, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string message;  // a part of the message
    };
    const Case cases[] = {
        {{"block", "encode", "--user", "u", "--xor-suffix", "5AC3007E"}, "10 hexadecimal"},
        {{"block", "encode", "--user", "u", "--xor-suffix", "5AC3007E1900"}, "10 hexadecimal"},
        {{"block", "decode", "--user", "u", "--des-suffix", "5AC3G07E19"}, "10 hexadecimal"},
        {{"block", "decode", "--user", "u", "--des-suffix", " AC3007E19"}, "10 hexadecimal"},
        {{"block", "decode", "--user", "u", "--des-suffix", ""}, "10 hexadecimal"},
        {{"block", "encode", "--user", "u", "--xor-suffix", "5AC3017E19"}, "00 byte"},
        {{"block", "encode", "--user", "u", "--des-suffix", "1011121314"}, "00 byte"},
        {{"block", "encode"}, "--user"},
        {{"block", "decode", "--user", "a\xFF"}, "not valid UTF-8"},
        {{"block"}, ""},
        {{"block", "read", "--user", "u"}, "--name"},
        {{"block", "read", "--name", "n", "--user", "u", "--record", "answer"}, "answer"},
        {{"block", "read", "--name", "n\xC0", "--user", "u"}, "not valid UTF-8"},
        {{"doc"}, ""},
        {{"doc", "login"}, "--user"},
        {{"doc", "login", "--user", ""}, "empty"},
    };
    for (const Case& c : cases) {
        // Arguments that are not UTF-8 exist only where arguments are bytes.
        const bool notUtf8 = c.message == "not valid UTF-8";
        if (notUtf8 && !corvo::test::ToolTakesArgumentBytes()) continue;
        const Outcome o = RunTool(c.args, "text");
        EXPECT_EQ(o.exitCode, 2) << c.args.back() << ": " << o.err;
        EXPECT_NE(o.err.find(c.message), std::string::npos) << o.err;
        EXPECT_TRUE(o.out.empty()) << o.out.size();
    }
}

// A block the test publishes the way the IM client does.
class LiveBlock : public ::testing::Test {
  protected:
    void Publish(std::u16string_view text, std::u16string_view user) {
        block_ = ExchangeBlock::Create(name_);
        ASSERT_TRUE(block_);
        ASSERT_EQ(WriteBlockDocument(*block_, text, user), BlockStatus::kOk);
    }
    std::vector<std::string> Read(const std::string& user) const {
        return {"block", "read", "--name", Utf8(name_), "--user", user};
    }
    std::vector<std::string> ReadRecord(const std::string& kind) const {
        std::vector<std::string> args = Read(kUser);
        args.insert(args.end(), {"--record", kind});
        return args;
    }
    std::u16string name_ = MakeExchangeName();
    std::optional<ExchangeBlock> block_;
};

TEST_F(LiveBlock, ReadsTextAndLoginRecord) {
    const srlz::XParamSLHelper helper;
    srlz::SSOLoginRecord answer;
    answer.result = 1;
    answer.fulluserid = U16(kUser);
    answer.realSSOUrl = u"https://login.b2b.corvo.example/go?a=1&b=\u4e2d";
    answer.srcUrl = u"\"quoted\"\\";
    answer.version = u"\u7528\u6237";
    helper.SetFieldEncoding(answer, true);
    std::u16string text;
    ASSERT_TRUE(helper.WriteLoginDocument(answer, text));
    Publish(text, U16(kUser));

    Outcome o = RunTool(Read(kUser));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, Utf8(text));

    o = RunTool(ReadRecord("login"));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out,
              "{\"bBase64Encoded\": false, \"version\": \"\\u7528\\u6237\", \"ctrlversion\": \"\", "
              "\"fulluserid\": \"cnalichnalice\", \"result\": 1, \"srcUrl\": "
              "\"\\u0022quoted\\u0022\\u005c\", \"realSSOUrl\": "
              "\"https://login.b2b.corvo.example/go?a=1&b=\\u4e2d\"}\n");
}

TEST_F(LiveBlock, ReadsUserRecordDecoded) {
    const srlz::XParamSLHelper helper;
    srlz::SSOUserRecord entry;
    entry.version = u"6.2";
    entry.shortUserID = u"alice";
    entry.fullUserID = U16(kUser);
    entry.siteID = u"cnalichn";
    entry.siteDescript = u"\u4e2d\u6587\uD55C";  // the last one is outside 936
    helper.SetFieldEncoding(entry, true);
    std::u16string text;
    ASSERT_TRUE(helper.WriteUserDocument(entry, text));
    Publish(text, U16(kUser));

    const Outcome o = RunTool(ReadRecord("user"));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out,
              "{\"bBase64Encoded\": false, \"version\": \"6.2\", \"shortUserID\": \"alice\", "
              "\"fullUserID\": \"cnalichnalice\", \"siteID\": \"cnalichn\", \"siteDescript\": "
              "\"\\u4e2d\\u6587?\"}\n");
}

// Read with another user's key, the text is not a document: the record keeps
// the values it was constructed with (result -1), as in the control.
TEST_F(LiveBlock, WrongUserGivesTheConstructedRecordAndMissingBlockFails) {
    std::u16string text;
    ASSERT_TRUE(srlz::XParamSLHelper().BuildLoginRequestText(U16(kUser), u"1.0.0.1", text));
    Publish(text, U16(kUser));
    std::vector<std::string> args = Read("cnotheruser");
    args.insert(args.end(), {"--record", "login"});
    Outcome o = RunTool(args);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out,
              "{\"bBase64Encoded\": false, \"version\": \"\", \"ctrlversion\": \"\", "
              "\"fulluserid\": \"\", \"result\": -1, \"srcUrl\": \"\", \"realSSOUrl\": \"\"}\n");

    block_.reset();  // the name goes with it
    o = RunTool(Read(kUser));
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_TRUE(o.out.empty());
    EXPECT_NE(o.err.find("no block of that name"), std::string::npos) << o.err;
}

TEST(DocTool, LoginRequestIsTheLibrarysNineLines) {
    const Outcome o = RunTool({"doc", "login", "--user", "cnmarketalice"});
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out,
              "<SSO_XML_NAME>\r\n"
              "\t<bBase64Encoded>1</bBase64Encoded>\r\n"
              "\t<result>0</result>\r\n"
              "\t<fulluserid>Y25tYXJrZXRhbGljZQ==</fulluserid>\r\n"
              "\t<version></version>\r\n"
              "\t<srcUrl></srcUrl>\r\n"
              "\t<realSSOUrl></realSSOUrl>\r\n"
              "\t<ctrlversion>MS4wLjAuMQ==</ctrlversion>\r\n"
              "</SSO_XML_NAME>\r\n");

    for (const std::string& user :
         {std::string("cnmarketalice"), std::string("cnalichn\xE7\x94\xA8\xE6\x88\xB7"),
          "cnmarket" + std::string(60, 'x'), std::string("a<b&c")}) {
        std::u16string expected;
        ASSERT_TRUE(srlz::XParamSLHelper().BuildLoginRequestText(U16(user), u"1.0.0.1", expected));
        const Outcome r = RunTool({"doc", "login", "--user", user});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, Utf8(expected)) << user;
    }
}

}  // namespace
}  // namespace corvo::control
