#include "xparam/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using xparam::Base64Decode;
using xparam::Base64DecodedCapacity;
using xparam::Base64Encode;
using xparam::Base64EncodedLength;

std::u16string Encode(const std::vector<uint8_t>& bytes) {
    std::u16string out(Base64EncodedLength(bytes.size()) + 1, u'#');
    const size_t n = Base64Encode(bytes.data(), bytes.size(), out.data());
    EXPECT_EQ(n, Base64EncodedLength(bytes.size()));
    EXPECT_EQ(out[n], 0);
    out.resize(n);
    return out;
}

// Decodes into a buffer of exactly the capacity the contract names, so that
// ASan catches any write beyond it.
bool Decode(const std::u16string& text, std::vector<uint8_t>& bytes) {
    auto buffer = std::make_unique<uint8_t[]>(Base64DecodedCapacity(text.size()));
    size_t size = 12345;
    if (!Base64Decode(text.data(), static_cast<int32_t>(text.size()), buffer.get(), size)) {
        EXPECT_EQ(size, 12345u);
        return false;
    }
    bytes.assign(buffer.get(), buffer.get() + size);
    return true;
}

TEST(Base64, KnownVectors) {
    EXPECT_EQ(Encode({}), u"");
    EXPECT_EQ(Encode({0x41}), u"QQ==");
    EXPECT_EQ(Encode({0x41, 0x42}), u"QUI=");
    EXPECT_EQ(Encode({0x41, 0x42, 0x43}), u"QUJD");
    EXPECT_EQ(Encode({0xFB, 0xFF, 0xBF}), u"+/+/");
    char narrow[9];
    const uint8_t foo[] = {'f', 'o', 'o', 'b'};
    EXPECT_EQ(Base64Encode(foo, 4, narrow), 8u);
    EXPECT_STREQ(narrow, "Zm9vYg==");
}

TEST(Base64, DecodeRules) {
    struct Case {
        std::u16string text;
        bool ok;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {u"QQ==", true, {0x41}},
        {u"QUI=", true, {0x41, 0x42}},
        {u"QUI", true, {0x41, 0x42}},
        {u"QU I=", true, {0x41, 0x42}},
        {u"Q\tU\r\nJD", true, {0x41, 0x42, 0x43}},
        {u"QUJD", true, {0x41, 0x42, 0x43}},
        {u"QQ", true, {0x41}},
        {u"  ", true, {}},
        {u"Q", false, {}},
        {u"QU=I", false, {}},
        {u"", false, {}},
        {u"Q===", false, {}},
        {u"QQ== ", false, {}},
        {u"QQ-_", false, {}},
        {u"QQ\u00e9=", false, {}},
        {u"Q\u0141==", false, {}},  // low byte 0x41 must not pass as "A"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        std::vector<uint8_t> bytes;
        ASSERT_EQ(Decode(c.text, bytes), c.ok);
        if (c.ok) {
            EXPECT_EQ(bytes, c.bytes);
        }
    }
    // Pointer + length: -1 runs to the NUL, a count is exact, null is empty.
    uint8_t out[6];
    size_t size = 0;
    ASSERT_TRUE(Base64Decode(u"QUJDQUJD", 4, out, size));
    EXPECT_EQ(size, 3u);
    ASSERT_TRUE(Base64Decode(u"QUJDQUJD", -1, out, size));
    EXPECT_EQ(size, 6u);
    EXPECT_FALSE(Base64Decode(nullptr, -1, out, size));
    const char16_t embedded[] = {u'Q', u'Q', 0, u'='};
    EXPECT_FALSE(Base64Decode(embedded, 4, out, size));
}

TEST(Base64, RoundTripsEveryLength) {
    std::mt19937 rng(77);
    for (size_t n = 0; n <= 300; ++n) {
        std::vector<uint8_t> bytes(n);
        for (auto& b : bytes) b = static_cast<uint8_t>(rng());
        const std::u16string text = Encode(bytes);
        std::vector<uint8_t> back;
        if (n == 0) {
            EXPECT_FALSE(Decode(text, back));  // the empty text does not decode
            continue;
        }
        ASSERT_TRUE(Decode(text, back)) << n;
        ASSERT_EQ(back, bytes) << n;
        // Without padding and with line breaks every 76 characters, too.
        std::u16string loose;
        for (size_t k = 0; k < text.size(); ++k) {
            if (text[k] == u'=') continue;
            if (k > 0 && k % 76 == 0) loose += u"\r\n";
            loose.push_back(text[k]);
        }
        ASSERT_TRUE(Decode(loose, back)) << n;
        ASSERT_EQ(back, bytes) << n;
    }
}

}  // namespace
