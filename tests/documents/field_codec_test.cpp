// The field encoding: line layout of the encoder, the lenient decoder, the
// code page 936 step and round trips over random input.
#include <gtest/gtest.h>

#include <string>

#include "tests/documents/documents_test_support.h"

namespace corvo::srlz::test {
namespace {

std::string Bytes(size_t n, unsigned start = 0) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += char((start + i) & 0xFF);
    return s;
}

// 76 characters of base64 for bytes 0..56 (one full line).
const std::u16string kLine0 =
    u"AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4";

struct EncodeCase {
    const char* what;
    std::string bytes;
    std::u16string text;
};

TEST(FieldBase64Encode, LineLayout) {
    const EncodeCase cases[] = {
        {"empty", "", u""},
        {"one byte", "A", u"QQ=="},
        {"two bytes", "AB", u"QUI="},
        {"three bytes", "ABC", u"QUJD"},
        {"high bytes", "\xff\xfe\xfd", u"//79"},
        {"56 bytes: no break", Bytes(56), kLine0.substr(0, 72) + u"Njc="},
        {"57 bytes: one line and its break", Bytes(57), kLine0 + u"\r\n"},
        {"58 bytes: break, then the padded group", Bytes(58), kLine0 + u"\r\nOQ=="},
        {"59 bytes", Bytes(59), kLine0 + u"\r\nOTo="},
        {"60 bytes", Bytes(60), kLine0 + u"\r\nOTo7"},
    };
    for (const EncodeCase& c : cases) {
        EXPECT_EQ(Printable(FieldBase64Encode(c.bytes)), Printable(c.text)) << c.what;
    }
}

// Every line but the last is exactly 76 characters followed by CR LF, the
// last is shorter or, when the input fills whole lines, absent.
TEST(FieldBase64Encode, LinesOf76ForEveryLength) {
    for (size_t n = 0; n <= 3 * 57 + 4; ++n) {
        const std::u16string text = FieldBase64Encode(Bytes(n, unsigned(n)));
        size_t start = 0;
        size_t lines = 0;
        for (size_t at; (at = text.find(u"\r\n", start)) != std::u16string::npos; start = at + 2) {
            EXPECT_EQ(at - start, kFieldLineChars) << "length " << n;
            ++lines;
        }
        EXPECT_EQ(lines, n / kFieldLineBytes) << "length " << n;
        EXPECT_EQ(text.size() - start, (n % kFieldLineBytes + 2) / 3 * 4) << "length " << n;
        EXPECT_EQ(FieldBase64Decode(std::string(text.begin(), text.end())), Bytes(n, unsigned(n)));
    }
}

struct DecodeCase {
    const char* what;
    std::string text;
    std::string bytes;
};

TEST(FieldBase64Decode, Lenient) {
    const DecodeCase cases[] = {
        {"empty", "", ""},
        {"padded", "QUI=", "AB"},
        {"padding missing", "QUI", "AB"},
        {"one byte, padding missing", "QQ", "A"},
        {"single leftover character gives nothing", "QUJDR", "ABC"},
        {"line breaks and spaces", "QU\r\nJ D\tR E=\n=", "ABCD"},
        {"padding in the middle is skipped", "QQ==QUJD", "A\x04\x14$"},
        {"garbage between digits", "Q!U@J#D$", "ABC"},
        {"nothing from the alphabet", "!@#$%^&*()\r\n ==", ""},
        {"only padding", "====", ""},
        {"non-ASCII bytes are skipped", "Q\xd6\xd0UJD\x80", "ABC"},
        {"NUL bytes are skipped", std::string("QU\0JD", 5), "ABC"},
        {"url-safe alphabet is not ours", "-_-_QUJD", "ABC"},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(FieldBase64Decode(c.text), c.bytes) << c.what;
    }
}

struct FieldCase {
    const char* what;
    std::u16string plain;
    std::u16string encoded;
};

TEST(EncodeField, Table) {
    const FieldCase cases[] = {
        {"empty", u"", u""},
        {"ASCII user ID", u"cnmarketalice", u"Y25tYXJrZXRhbGljZQ=="},
        {"control version", u"1.0.0.1", u"MS4wLjAuMQ=="},
        {"GBK text", u"\u4e2d\u6587", u"1tDOxA=="},
        {"euro sign is 0x80 in code page 936", u"\u20ac", u"gA=="},
        {"the bytes end before the first NUL", std::u16string(u"ab\0cd", 5), u"YWI="},
        {"leading NUL gives nothing", std::u16string(u"\0abc", 4), u""},
        {"outside code page 936 becomes ?", u"\u0e01", u"Pw=="},
    };
    for (const FieldCase& c : cases) {
        EXPECT_EQ(Printable(EncodeField(c.plain)), Printable(c.encoded)) << c.what;
    }
}

struct DecodeFieldCase {
    const char* what;
    std::u16string encoded;
    std::u16string plain;
};

TEST(DecodeField, Table) {
    const DecodeFieldCase cases[] = {
        {"empty", u"", u""},
        {"ASCII", u"Y25tYXJrZXRhbGljZQ==", u"cnmarketalice"},
        {"GBK", u"1tDOxA==", u"\u4e2d\u6587"},
        {"line breaks inside", u"1tD\r\nOxA==", u"\u4e2d\u6587"},
        {"cut at the first NUL byte", u"YQBi", u"a"},
        {"plain text read as base64", u"QUJD.cn", u"ABCr"},
        {"no alphabet characters", u":.?&=-_ \r\n", u""},
        // A lone lead byte: whatever the platform's converter reads it as
        // (U+FFFD on glibc, "?" on Windows; docs/platforms.md).
        {"a lone lead byte decodes to the replacement", u"1g==", FromFieldBytes("\xd6")},
        // U+4E35 is 0x81 0x51 in code page 936: its trail byte is "Q".
        {"non-ASCII text goes through code page 936 first", u"\u4e35UJD", u"ABC"},
    };
    for (const DecodeFieldCase& c : cases) {
        EXPECT_EQ(Printable(DecodeField(c.encoded)), Printable(c.plain)) << c.what;
    }
    // The replacement is one character, the same for the lone byte anywhere.
    const std::u16string replacement = FromFieldBytes("\xd6");
    EXPECT_TRUE(replacement == u"\ufffd" || replacement == u"?") << Printable(replacement);
    EXPECT_EQ(FromFieldBytes("ab\xd6"), u"ab" + replacement);
}

// A text drawn from ASCII, GBK ideographs, and characters code page 936 lacks.
std::u16string RandomText(std::mt19937& rng, size_t maxLength) {
    static const char16_t kPool[] =
        u"aZ09+/= \t\r\n&<>\"'\u00b7\u20ac\u4e00\u4e2d\u9fa5\u3042"
        u"\u0e01\u0416\uac00\U0001F600\uff01";
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, std::size(kPool) - 2);
    std::u16string s;
    for (size_t n = length(rng); n > 0; --n) s += kPool[pick(rng)];
    return s;
}

TEST(FieldCodecProperty, DecodeInvertsEncodeUpToCodePage936) {
    std::mt19937 rng(TestSeed());
    for (int i = 0; i < 2000; ++i) {
        const std::u16string s = RandomText(rng, 80);
        const std::u16string encoded = EncodeField(s);
        for (char16_t c : encoded) ASSERT_LT(c, 0x80) << "encoded text is ASCII";
        ASSERT_EQ(Printable(DecodeField(encoded)), Printable(Through936(s))) << Printable(s);
    }
}

TEST(FieldCodecProperty, RandomBytesRoundTripAndSurviveNoise) {
    std::mt19937 rng(TestSeed() + 1);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 1000; ++i) {
        std::string bytes(size_t(byte(rng)), '\0');
        for (char& b : bytes) b = char(byte(rng));
        const std::u16string text = FieldBase64Encode(bytes);
        std::string noisy;
        for (char16_t c : text) {
            noisy += char(c);
            if (byte(rng) < 16) noisy += " \r\n\t=*"[byte(rng) % 6];
        }
        ASSERT_EQ(FieldBase64Decode(noisy), bytes);
    }
}

}  // namespace
}  // namespace corvo::srlz::test
