#include "control/payload_scrambler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "control/des_cipher.h"

namespace corvo::control {
namespace {

// Bytes of the XOR suffix that count (those before its first zero byte).
std::string XorSuffixPrefix() {
    std::string s;
    for (uint8_t b : kXorKeySuffix) {
        if (b == 0) break;
        s += char(b);
    }
    return s;
}

// Sets LC_CTYPE for one scope; code page 0 follows it.
class CtypeLocale {
  public:
    explicit CtypeLocale(const char* name) : saved_(std::setlocale(LC_CTYPE, nullptr)) {
        ok_ = std::setlocale(LC_CTYPE, name) != nullptr;
    }
    ~CtypeLocale() { std::setlocale(LC_CTYPE, saved_.c_str()); }
    bool ok() const { return ok_; }

  private:
    std::string saved_;
    bool ok_ = false;
};

TEST(PayloadScrambler, ConfiguredSuffixesEachHoldAZeroByte) {
    EXPECT_NE(std::find(kXorKeySuffix.begin(), kXorKeySuffix.end(), 0), kXorKeySuffix.end());
    EXPECT_NE(std::find(kDesKeySuffix.begin(), kDesKeySuffix.end(), 0), kDesKeySuffix.end());
    EXPECT_NE(kXorKeySuffix, kDesKeySuffix);
}

TEST(PayloadScrambler, KeysFollowTheUserIdInTheLocaleCodePage) {
    const std::string suffix = XorSuffixPrefix();
    struct Case {
        std::u16string userId;
        std::string k;  // expected K
    };
    const Case cases[] = {
        {u"", ""},
        {u"a", "a"},
        {u"ab", "ab"},
        {u"abc", "abc"},
        {u"cnalichnuser01", "cnalichnuser01"},
        {std::u16string(u"ab\0cd", 5), std::string("ab\0cd", 5)},  // K's own zero ends X
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.k.begin(), c.k.end()));
        const PayloadKeys keys = MakePayloadKeys(c.userId);
        std::string x = c.k + suffix;
        EXPECT_EQ(keys.xorKey, x.substr(0, x.find('\0')));
        std::string d = c.k;
        d.append(kDesKeySuffix.begin(), kDesKeySuffix.end());
        d.resize(std::max<size_t>(d.size(), 8), '\0');  // short keys padded with zeros
        EXPECT_EQ(0, std::memcmp(keys.desKey.data(), d.data(), 8));
    }
}

TEST(PayloadScrambler, NonAsciiUserIdsUseTheLocaleCodeset) {
    const std::u16string id = u"cnalichn\u7528\u6237";
    {
        CtypeLocale c("C");
        ASSERT_TRUE(c.ok());
        EXPECT_EQ(MakePayloadKeys(id).xorKey.substr(0, 10), "cnalichn??");
    }
    CtypeLocale utf8("C.UTF-8");
    if (!utf8.ok()) GTEST_SKIP() << "no C.UTF-8 locale";
    EXPECT_EQ(MakePayloadKeys(id).xorKey.substr(0, 14), "cnalichn\xE7\x94\xA8\xE6\x88\xB7");
}

// A 37-byte XOR key over an 8192-byte zero region: undoing the DES pass on its
// own leaves the key repeated from its first byte at 37, 74, ..., up to the end.
TEST(PayloadScrambler, XorKeyRepeatsOverTheWholeRegion) {
    const std::string suffix = XorSuffixPrefix();
    ASSERT_LT(suffix.size(), 37u);
    const std::u16string id(37 - suffix.size(), u'u');
    const PayloadKeys keys = MakePayloadKeys(id);
    ASSERT_EQ(keys.xorKey.size(), 37u);

    std::vector<uint8_t> region(8192, 0);
    ASSERT_TRUE(ScramblePayload(region.data(), region.size(), id));
    DesCipher(keys.desKey).Decrypt(region.data(), region.size() / 8);
    for (size_t j = 0; j < region.size(); ++j)
        ASSERT_EQ(region[j], uint8_t(keys.xorKey[j % 37])) << "offset " << j;
    EXPECT_EQ(region[37], region[0]);
    EXPECT_EQ(region[74], region[0]);
}

TEST(PayloadScrambler, XorWithRepeatedKeyMatchesTheModuloDefinition) {
    std::mt19937 rng(5);
    for (size_t keySize : {1u, 2u, 7u, 37u, 255u, 511u, 512u, 513u, 1300u}) {
        std::string key(keySize, '\0');
        for (auto& c : key) c = char(rng());
        for (size_t length : {0u, 1u, 511u, 512u, 513u, 4099u, 8192u}) {
            std::vector<uint8_t> region(length), expected(length);
            for (size_t j = 0; j < length; ++j) {
                region[j] = uint8_t(rng());
                expected[j] = uint8_t(region[j] ^ uint8_t(key[j % keySize]));
            }
            XorWithRepeatedKey(region.data(), length, key);
            ASSERT_EQ(region, expected) << keySize << "/" << length;
        }
    }
    std::vector<uint8_t> region(16, 0x5A);
    XorWithRepeatedKey(region.data(), region.size(), "");
    EXPECT_EQ(region, std::vector<uint8_t>(16, 0x5A));
}

TEST(PayloadScrambler, LengthsNotAMultipleOfEightFailAndChangeNothing) {
    std::vector<uint8_t> region(8190, 0x11);
    for (size_t length : {1u, 7u, 9u, 8190u}) {
        EXPECT_FALSE(ScramblePayload(region.data(), length, u"cnalichnuser"));
        EXPECT_FALSE(UnscramblePayload(region.data(), length, u"cnalichnuser"));
    }
    EXPECT_EQ(region, std::vector<uint8_t>(8190, 0x11));
    EXPECT_TRUE(ScramblePayload(region.data(), 0, u"cnalichnuser"));
}

std::u16string RandomUserId(std::mt19937& rng) {
    static const char16_t kPool[] = u"abcdefghijklmnopqrstuvwxyz0123456789_-@.\u7528\u6237\u00e9";
    std::u16string id(rng() % 24, u'a');
    for (auto& c : id) c = kPool[rng() % (std::size(kPool) - 1)];
    return id;
}

TEST(PayloadScrambler, UnscrambleInvertsScrambleForRandomPayloadsAndIds) {
    CtypeLocale utf8("C.UTF-8");  // non-ASCII ids give multi-byte keys when present
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        const std::u16string id = RandomUserId(rng);  // includes empty and < 3-byte ids
        std::vector<uint8_t> region(8 * (rng() % 1100));
        for (auto& b : region) b = uint8_t(rng());
        std::vector<uint8_t> work = region;
        ASSERT_TRUE(ScramblePayload(work.data(), work.size(), id));
        if (region.size() >= 16) {
            ASSERT_NE(work, region);
        }
        ASSERT_TRUE(UnscramblePayload(work.data(), work.size(), id));
        ASSERT_EQ(work, region) << "round " << round;
    }
}

// Scrambling equals its definition (the XOR pass over the whole region, then
// DES over every block) whatever follows the document: zeros, a pattern that
// repeats with the key, one that repeats with another period, random bytes, a
// tail that repeats except for its last byte; for keys of odd and even
// lengths and regions shorter than a key period.
TEST(PayloadScrambler, ScrambleMatchesTheDefinitionWhateverTheTail) {
    CtypeLocale utf8("C.UTF-8");
    std::mt19937 rng(2024);
    for (int round = 0; round < 400; ++round) {
        const std::u16string id = RandomUserId(rng);
        const PayloadKeys keys = MakePayloadKeys(id);
        const size_t n = std::max<size_t>(keys.xorKey.size(), 1);
        std::vector<uint8_t> region(8 * (rng() % 1100));
        const size_t document = region.empty() ? 0 : rng() % region.size();
        for (size_t j = 0; j < document; ++j) region[j] = uint8_t(rng());
        const int tail = round % 5;
        for (size_t j = document; j < region.size(); ++j) {
            if (tail == 1) region[j] = uint8_t(j % n * 7);  // repeats with the key
            if (tail == 2) region[j] = uint8_t(j % 24 == 3);
            if (tail == 3) region[j] = uint8_t(rng());
        }
        if (tail == 4 && !region.empty()) region.back() = 1;  // zeros, then one byte
        std::vector<uint8_t> expected = region;
        XorWithRepeatedKey(expected.data(), expected.size(), keys.xorKey);
        DesCipher(keys.desKey).Encrypt(expected.data(), expected.size() / 8);
        ASSERT_TRUE(ScramblePayload(region.data(), region.size(), id));
        ASSERT_EQ(region, expected) << "round " << round << ", tail kind " << tail;
    }
}

TEST(PayloadScrambler, ADifferentUserIdDoesNotUnscramble) {
    std::vector<uint8_t> region(8192, 0), work = region;
    ASSERT_TRUE(ScramblePayload(work.data(), work.size(), u"cnalichnuserA"));
    ASSERT_TRUE(UnscramblePayload(work.data(), work.size(), u"cnalichnuserB"));
    EXPECT_NE(work, region);
}

}  // namespace
}  // namespace corvo::control
