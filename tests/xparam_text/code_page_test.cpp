#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/hz_codec.h"
#include "tests/common/thread_locale.h"

namespace {

using corvo::platform::MultiByteToWideChar;
using corvo::platform::WideCharToMultiByte;

// Code pages a system may lack (Wine has no 20936 or 54936, and HZ goes
// through 20936): false when it does. Every other code page must convert.
bool Converts(uint32_t cp) {
    if (cp != 20936 && cp != 52936 && cp != 54936) return true;
    const char16_t a = u'a';
    return WideCharToMultiByte(cp, &a, 1, nullptr, 0) > 0;
}

// Count, then convert into a buffer of exactly that size.
std::u16string Decode(uint32_t cp, const std::string& bytes) {
    const int n = MultiByteToWideChar(cp, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (n <= 0) return u"<fail>";
    std::u16string out(static_cast<size_t>(n), u'#');
    EXPECT_EQ(MultiByteToWideChar(cp, bytes.data(), static_cast<int>(bytes.size()), out.data(), n),
              n);
    return out;
}

std::string Encode(uint32_t cp, const std::u16string& text) {
    const int n = WideCharToMultiByte(cp, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return "<fail>";
    std::string out(static_cast<size_t>(n), '#');
    EXPECT_EQ(WideCharToMultiByte(cp, text.data(), static_cast<int>(text.size()), out.data(), n),
              n);
    return out;
}

// Where Windows' converters read damaged input otherwise than ours, the
// second text is Windows' reading (docs/platforms.md lists each); empty when
// both agree.
TEST(CodePage, Utf8DecodeIsLenient) {
    struct Case {
        std::string bytes;
        std::u16string text;
        std::u16string windowsText = {};
    };
    const Case cases[] = {
        {"plain ascii text!", u"plain ascii text!"},
        {"\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80", u"\u00E9\u4E2D\U0001F600"},
        {"\xFF", u"\uFFFD"},
        {"\x80\x80", u"\uFFFD\uFFFD"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                             // overlong
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD"},  // overlong
        {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD"},  // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD", u"\uFFFD\uFFFD\uFFFD"},  // > U+10FFFF
        {"\xE4\xB8", u"\uFFFD"},    // truncated at the end
        {"\xE4\xB8x", u"\uFFFDx"},  // truncated before ASCII
        {"\xF0\x9F\x98", u"\uFFFD"},
        {"abcdefgh\xC3\xA9ijklmnopq", u"abcdefgh\u00E9ijklmnopq"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        const std::u16string text = Decode(65001, c.bytes);
        if (c.windowsText.empty() || text != c.windowsText) {
            EXPECT_EQ(text, c.text);
        }
    }
}

TEST(CodePage, Win32CountingContract) {
    // -1 converts and counts the terminator.
    char16_t wide[8];
    EXPECT_EQ(MultiByteToWideChar(65001, "ab", -1, nullptr, 0), 3);
    EXPECT_EQ(MultiByteToWideChar(65001, "ab", -1, wide, 8), 3);
    EXPECT_EQ(wide[2], 0);
    char bytes[8];
    EXPECT_EQ(WideCharToMultiByte(936, u"\u4E2D", -1, bytes, 8), 3);
    EXPECT_STREQ(bytes, "\xD6\xD0");
    // Too small an output gives 0, for every kind of converter.
    for (uint32_t cp : {65001u, 1200u, 1201u, 20127u, 936u, 52936u, 932u}) {
        SCOPED_TRACE(cp);
        EXPECT_EQ(MultiByteToWideChar(cp, "abcdefgh", 8, wide, 2), 0);
        EXPECT_EQ(WideCharToMultiByte(cp, u"abcd", 4, bytes, 2), 0);
    }
    // Bad arguments and unknown code pages.
    EXPECT_EQ(MultiByteToWideChar(65001, "ab", 0, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, nullptr, 2, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, "ab", -2, nullptr, 0), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, "ab", 2, nullptr, 4), 0);
    EXPECT_EQ(WideCharToMultiByte(65001, u"ab", 2, bytes, -1), 0);
    EXPECT_EQ(MultiByteToWideChar(4242, "ab", 2, nullptr, 0), 0);
    EXPECT_EQ(WideCharToMultiByte(4242, u"ab", 2, nullptr, 0), 0);
}

TEST(CodePage, Utf16KeepsLoneSurrogates) {
    const std::u16string odd = {u'a', 0xD800, u'b', 0xDC00, 0xDBFF};
    for (uint32_t cp : {1200u, 1201u}) {
        EXPECT_EQ(Decode(cp, Encode(cp, odd)), odd);
    }
    EXPECT_EQ(Encode(1201, u"a"), std::string("\0a", 2));
    EXPECT_EQ(Decode(1200, std::string("a\0b", 3)), u"a\uFFFD");
    // UTF-8 cannot carry them: each becomes U+FFFD.
    EXPECT_EQ(Encode(65001, odd),
              "a\xEF\xBF\xBD"
              "b\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(Encode(65001, u"\U0001F600"), "\xF0\x9F\x98\x80");
}

TEST(CodePage, Utf8RoundTripsRandomText) {
    std::mt19937 rng(5);
    for (int round = 0; round < 200; ++round) {
        std::u16string text;
        const int n = static_cast<int>(rng() % 64);
        for (int k = 0; k < n; ++k) {
            uint32_t cp;
            switch (rng() % 4) {
                case 0:
                    cp = rng() % 0x80;
                    break;
                case 1:
                    cp = 0x80 + rng() % 0x780;
                    break;
                case 2:
                    cp = 0x800 + rng() % 0xF800;
                    break;
                default:
                    cp = 0x10000 + rng() % 0x100000;
                    break;
            }
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xE000;
            if (cp >= 0x10000) {
                text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            } else {
                text.push_back(static_cast<char16_t>(cp));
            }
        }
        if (text.empty()) continue;
        ASSERT_EQ(Decode(65001, Encode(65001, text)), text);
    }
}

TEST(CodePage, EuroIsByte80InCodePage936) {
    EXPECT_EQ(Encode(936, u"\u20AC"), "\x80");
    EXPECT_EQ(Decode(936, "\x80"), u"\u20AC");
}

TEST(CodePage, RoundTripsAndLenientReplacement) {
    struct Case {
        uint32_t cp;
        std::u16string text;
        std::string bytes;
    };
    const Case cases[] = {
        {936, u"a\u4E2D\u6587", "a\xD6\xD0\xCE\xC4"},
        {20936, u"\u4E2D\u6587", "\xD6\xD0\xCE\xC4"},
        {54936, u"\u4E2D\U0001F600", "\xD6\xD0\x94\x39\xFC\x36"},
        {950, u"\u4E2D\u6587", "\xA4\xA4\xA4\xE5"},
        {932, u"\u65E5\u672C", "\x93\xFA\x96\x7B"},
        {949, u"\uD55C", "\xC7\xD1"},
        {20127, u"plain", "plain"},
        {52936, u"a\u4E2D\u6587~b", "a~{VPND~}~~b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cp);
        if (!Converts(c.cp)) continue;
        EXPECT_EQ(Encode(c.cp, c.text), c.bytes);
        EXPECT_EQ(Decode(c.cp, c.bytes), c.text);
        // Unencodable characters and lone surrogates become "?", one per
        // UTF-16 unit as on Windows.
        if (c.cp != 54936) {
            EXPECT_EQ(Encode(c.cp, std::u16string(u"x\U0001F600y") + char16_t(0xDC00)), "x??y?");
        }
        EXPECT_EQ(Encode(c.cp, std::u16string{u'x', 0xD800}), "x?");
    }
    // Undecodable bytes become U+FFFD and decoding goes on; Windows reads
    // them its own way (its default character, the Private Use Area, the low
    // seven bits for US-ASCII).
    struct Damaged {
        uint32_t cp;
        std::string bytes;
        std::u16string text;
        std::u16string windowsText;
    };
    const Damaged damaged[] = {
        {936,
         "a\xFF"
         "b",
         u"a\uFFFDb", u"a\uF8F5b"},
        {936, "\xD6", u"\uFFFD", u"?"},
        {20127, "a\xE9", u"a\uFFFD", u"ai"},
        {932, "\x82", u"\uFFFD", u"\u30FB"},
    };
    for (const Damaged& d : damaged) {
        SCOPED_TRACE(d.cp);
        const std::u16string text = Decode(d.cp, d.bytes);
        if (text != d.windowsText) {
            EXPECT_EQ(text, d.text);
        }
    }
}

TEST(CodePage, HzEscapes) {
    if (!Converts(52936)) GTEST_SKIP() << "no GB2312 converter for HZ to use (Wine has none)";
    EXPECT_EQ(Decode(52936, "~~"), u"~");
    EXPECT_EQ(Decode(52936, "a~\nb"), u"ab");             // line continuation
    EXPECT_EQ(Decode(52936, "~{VP\nVP"), u"\u4E2D\nVP");  // a line break ends GB mode
    EXPECT_EQ(Decode(52936, "~{VP"), u"\u4E2D");          // unterminated GB mode at the end
    EXPECT_EQ(Decode(52936, "~x"), u"\uFFFDx");
    EXPECT_EQ(Decode(52936, "a~"), u"a\uFFFD");
    EXPECT_EQ(Decode(52936, "~{V~}"), u"\u7B51\uFFFD");  // "V~" is a pair; "}" is left alone
    EXPECT_EQ(Decode(52936, "~{V"), u"\uFFFD");
    EXPECT_EQ(Decode(52936, "\xD6\xD0"), u"\uFFFD\uFFFD");  // 8-bit bytes are not HZ
    // Random GB2312 text mixed with ASCII and tildes survives HZ.
    std::mt19937 rng(52936);
    for (int round = 0; round < 100; ++round) {
        std::string euc;
        for (int k = 0; k < 40; ++k) {
            switch (rng() % 3) {
                case 0:
                    euc.push_back(static_cast<char>(0x20 + rng() % 0x5F));
                    break;
                case 1:
                    euc.push_back('~');
                    break;
                default:  // level 1 hanzi: rows 0xB0-0xD7
                    euc.push_back(static_cast<char>(0xB0 + rng() % 0x27));
                    euc.push_back(static_cast<char>(0xA1 + rng() % 0x5E));
            }
        }
        const std::u16string text = Decode(20936, euc);
        const std::string hz = Encode(52936, text);
        for (char ch : hz) ASSERT_EQ(static_cast<unsigned char>(ch) & 0x80, 0);
        ASSERT_EQ(Decode(52936, hz), text);
        const auto* raw = reinterpret_cast<const uint8_t*>(euc.data());
        const std::string viaCodec = corvo::platform::EucCnToHz(raw, euc.size());
        ASSERT_EQ(corvo::platform::HzToEucCn(reinterpret_cast<const uint8_t*>(viaCodec.data()),
                                             viaCodec.size()),
                  euc);
    }
}

using corvo::test::ThreadLocale;
using corvo::test::WithThreadLocale;

TEST(CodePage, DefaultCodePageFollowsThreadLocale) {
    const bool utf8 = WithThreadLocale(ThreadLocale::kUtf8, [] {
        EXPECT_EQ(Encode(0, u"\u00E9"), "\xC3\xA9");
        EXPECT_EQ(Decode(0, "\xC3\xA9"), u"\u00E9");
    });
    const bool ascii = WithThreadLocale(ThreadLocale::kAscii, [] {
        EXPECT_EQ(Encode(0, u"a\u00E9"), "a?");
        EXPECT_EQ(Decode(0, "a\xE9"), u"a\uFFFD");
    });
    if (!utf8 && !ascii) GTEST_SKIP() << "no ASCII or UTF-8 thread locale on this system";
}

TEST(CodePage, DefaultCodePageUnderGbkLocale) {
    const bool ran = WithThreadLocale(ThreadLocale::kChineseGbk, [] {
        EXPECT_EQ(Encode(0, u"\u4E2D\u20AC"), "\xD6\xD0\x80");
        EXPECT_EQ(Decode(0, "\xD6\xD0"), u"\u4E2D");
    });
    if (!ran) GTEST_SKIP() << "no code page 936 thread locale can be made here";
}

TEST(CodePage, ThreadsConvertConcurrently) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            const std::u16string text = u"\u4E2D\u6587 mixed text \u20AC";
            for (int k = 0; k < 500; ++k) {
                const uint32_t cp = (k + t) % 2 ? 936u : 950u;
                char bytes[64];
                char16_t back[64];
                const int n = WideCharToMultiByte(cp, text.data(), static_cast<int>(text.size()),
                                                  bytes, sizeof(bytes));
                const int m = MultiByteToWideChar(cp, bytes, n, back, 64);
                if (std::u16string(back, static_cast<size_t>(m > 0 ? m : 0)) != text) {
                    ++failures[static_cast<size_t>(t)];
                }
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

}  // namespace
