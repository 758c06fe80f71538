// The platform pieces behind the site lock: address cracking (curl_url), IDN
// conversion (libidn2) and the strict UTF-16/UTF-8 conversion they rely on.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/idn.h"
#include "platform/strict_utf8.h"
#include "platform/url_parts.h"

namespace corvo::platform {
namespace {

// Texts with a lone surrogate cannot be written as literals.
std::u16string Lone(std::u16string_view before, char16_t surrogate, std::u16string_view after) {
    std::u16string text(before);
    text.push_back(surrogate);
    return text.append(after);
}

struct CrackCase {
    std::u16string_view address;
    bool cracks;
    std::u16string_view scheme;
    UrlPartStatus hostStatus;
    std::u16string_view host;
    UrlPartStatus userStatus;
    UrlPartStatus passwordStatus;
};

TEST(UrlParts, DocumentedBehaviour) {
    using S = UrlPartStatus;
    const std::u16string loneInPath = Lone(u"http://h.example/", 0xD800, u"");
    const CrackCase cases[] = {
        // upper-case scheme: lower-cased; upper-case host: kept
        {u"HTTP://Host.Example/", true, u"http", S::kOk, u"Host.Example", S::kAbsent, S::kAbsent},
        // trailing dot kept
        {u"http://host.example./", true, u"http", S::kOk, u"host.example.", S::kAbsent, S::kAbsent},
        // backslash anywhere: refused
        {u"http://evil.test\\@host.example/", false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
        {u"http://host.example/a\\b", false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
        // percent-encoding in the host: decoded; one that decodes to "/" refused
        {u"http://a%2eexample/", true, u"http", S::kOk, u"a.example", S::kAbsent, S::kAbsent},
        {u"http://a%2fexample/", false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
        {u"http://%C3%B6.example/", true, u"http", S::kOk, u"\u00F6.example", S::kAbsent,
         S::kAbsent},
        {u"http://%ff.example/", true, u"http", S::kFailed, u"", S::kAbsent, S::kAbsent},
        // port and IPv6 brackets
        {u"http://host.example:8080/", true, u"http", S::kOk, u"host.example", S::kAbsent,
         S::kAbsent},
        {u"http://[::1]:80/", true, u"http", S::kOk, u"[::1]", S::kAbsent, S::kAbsent},
        // user information: absent, empty, present
        {u"http://@h.example/", true, u"http", S::kOk, u"h.example", S::kOk, S::kAbsent},
        {u"http://:@h.example/", true, u"http", S::kOk, u"h.example", S::kOk, S::kOk},
        {u"http://u:p@h.example/", true, u"http", S::kOk, u"h.example", S::kOk, S::kOk},
        // no host
        {u"file:///etc/hosts", true, u"file", S::kAbsent, u"", S::kAbsent, S::kAbsent},
        // not URLs curl cracks
        {u"javascript:alert(1)", false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
        {u"", false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
        {u"http://h.example/\t", false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
        {loneInPath, false, u"", S::kFailed, u"", S::kFailed, S::kFailed},
    };
    for (const CrackCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::u16string(c.address)));
        UrlParts parts;
        ASSERT_EQ(parts.Crack(c.address), c.cracks);
        std::u16string out;
        EXPECT_EQ(parts.Get(UrlPart::kScheme, 32, out), c.cracks ? S::kOk : S::kFailed);
        EXPECT_EQ(out, c.scheme);
        EXPECT_EQ(parts.Get(UrlPart::kHostName, 256, out), c.hostStatus);
        EXPECT_EQ(out, c.host);
        EXPECT_EQ(parts.Get(UrlPart::kUserName, 256, out), c.userStatus);
        EXPECT_EQ(parts.Get(UrlPart::kPassword, 256, out), c.passwordStatus);
    }
}

TEST(UrlParts, LengthLimitAndEmbeddedNul) {
    UrlParts parts;
    ASSERT_TRUE(parts.Crack(u"http://abcd.example/"));
    std::u16string out;
    EXPECT_EQ(parts.Get(UrlPart::kHostName, 12, out), UrlPartStatus::kOk);
    EXPECT_EQ(parts.Get(UrlPart::kHostName, 11, out), UrlPartStatus::kTooLong);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(parts.Get(UrlPart::kScheme, 3, out), UrlPartStatus::kTooLong);

    const std::u16string withNul(u"http://abcd.example\0.evil/", 26);
    EXPECT_FALSE(parts.Crack(withNul));
    EXPECT_EQ(parts.Get(UrlPart::kHostName, 256, out),
              UrlPartStatus::kFailed);  // nothing left over
}

struct IdnCase {
    std::u16string_view host;
    bool converts;
    std::u16string_view ascii;
};

TEST(Idn, MapsLikeBrowsersAndEnforcesStd3) {
    const std::u16string loneSurrogate = Lone(u"", 0xD800, u".example");
    const IdnCase cases[] = {
        {u"\u00F6.example", true, u"xn--nda.example"},
        {u"L\u00F6gin.Example", true, u"xn--lgin-5qa.example"},  // lower-cased
        {u"a\u3002example", true, u"a.example"},                 // ideographic full stop
        {u"a\uFF0Eexample", true, u"a.example"},                 // full-width full stop
        {u"a\uFF61example", true, u"a.example"},                 // half-width ideographic stop
        {u"\uFF41\uFF42\uFF43.example", true, u"abc.example"},   // full-width letters
        {u"\uFF21\uFF22.example", true, u"ab.example"},          // full-width capitals
        {u"fa\u00DF.example", true, u"xn--fa-hia.example"},      // nontransitional
        {u"x\u00AD.example\u3002", true, u"x.example."},         // soft hyphen ignored, root dot
        {u"a\uFF0Fb.example", false, u""},                       // -> "/"
        {u"a\uFF20b.example", false, u""},                       // -> "@"
        {u"\uFF41_b.example", false, u""},                       // "_"
        {u"a\u00A0b", false, u""},                               // -> " "
        {u"\u3002a.example", false, u""},                        // empty label
        {u"a\u3002\u3002b", false, u""},
        {u"\u00F6-.example", false, u""},  // trailing hyphen
        {loneSurrogate, false, u""},
        {std::u16string_view(u"\u00F6\0.example", 10), false, u""},  // NUL
        {u"\u3002", false, u""},
    };
    for (const IdnCase& c : cases) {
        std::u16string ascii;
        EXPECT_EQ(IdnToAscii(c.host, 256, ascii), c.converts)
            << testing::PrintToString(std::u16string(c.host));
        EXPECT_EQ(ascii, c.ascii);
    }
}

TEST(Idn, ResultLengthLimit) {
    std::u16string host;
    for (int i = 0; i < 5; ++i) host += u"\u00F6" + std::u16string(40, u'a') + u".";
    host += u"example";
    std::u16string ascii;
    ASSERT_TRUE(IdnToAscii(host, 1000, ascii));
    EXPECT_FALSE(IdnToAscii(host, ascii.size() - 1, ascii));
    std::u16string again;
    EXPECT_TRUE(IdnToAscii(host, 1000, again));
    EXPECT_TRUE(IdnToAscii(host, again.size(), again));
}

TEST(StrictUtf8, RoundTripsValidText) {
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::u16string text;
        for (int n = random() % 12; n > 0; --n) {
            char32_t cp;
            do cp = random() % 0x110000;
            while (cp >= 0xD800 && cp <= 0xDFFF);
            if (cp < 0x10000) {
                text.push_back(static_cast<char16_t>(cp));
            } else {
                text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
                text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
            }
        }
        std::string utf8;
        ASSERT_TRUE(StrictUtf16ToUtf8(text, utf8));
        std::u16string back;
        ASSERT_TRUE(StrictUtf8ToUtf16(utf8, back));
        ASSERT_EQ(back, text);
    }
    std::string utf8;
    ASSERT_TRUE(StrictUtf16ToUtf8(std::u16string_view(u"\0a\u00E9\u20AC\U0001F600", 6), utf8));
    EXPECT_EQ(utf8, std::string("\0a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 11));
}

TEST(StrictUtf8, RejectsIllFormedInput) {
    std::string utf8;
    const std::u16string badUtf16[] = {
        Lone(u"", 0xD800, u""), Lone(u"a", 0xDC00, u""), Lone(u"", 0xDBFF, u"a"),
        Lone(u"", 0xDC00, Lone(u"", 0xD800, u"")),  // low before high
    };
    for (const std::u16string& bad : badUtf16) EXPECT_FALSE(StrictUtf16ToUtf8(bad, utf8));

    std::u16string utf16;
    const std::string_view badUtf8[] = {
        "\x80",              // continuation without lead
        "\xC0\xAF",          // overlong "/"
        "\xC1\xBF",          // overlong
        "\xE0\x80\xAF",      // overlong "/"
        "\xF0\x80\x80\xAF",  // overlong "/"
        "\xED\xA0\x80",      // encoded surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",  // invalid lead
        "\xFF",              // invalid byte
        "\xC3",              // truncated
        "a\xE2\x82",         // truncated
        "\xE2\x28\xA1",      // bad continuation
    };
    for (std::string_view bad : badUtf8) {
        EXPECT_FALSE(StrictUtf8ToUtf16(bad, utf16)) << testing::PrintToString(std::string(bad));
    }
    EXPECT_TRUE(StrictUtf8ToUtf16("\xF4\x8F\xBF\xBF", utf16));  // U+10FFFF
    EXPECT_EQ(utf16, u"\U0010FFFF");
}

}  // namespace
}  // namespace corvo::platform
