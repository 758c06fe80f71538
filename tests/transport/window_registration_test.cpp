#include "platform/posix/window_registration.h"

#include <gtest/gtest.h>

#include <random>

namespace corvo::platform {
namespace {

TEST(WindowRegistrationTest, RoundTripsAnyUtf16Exactly) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 500; ++round) {
        WindowRegistration in;
        in.kind = round % 2 ? WindowKind::kMessageOnly : WindowKind::kTopLevel;
        in.pid = pid_t(1 + random() % 4000000);
        in.socketName = std::to_string(random()) + ".sock";
        for (auto* text : {&in.className, &in.title}) {
            const size_t length = random() % 40;  // includes empty text
            for (size_t i = 0; i < length; ++i) {
                // NUL, ASCII, CJK, lone surrogates and U+FFFF all come back.
                const char16_t pool[] = {0, u'a', u':', u'/', 0x7528, 0xD800, 0xDC00, 0xFFFF};
                *text += random() % 3 ? char16_t(random() % 0x10000) : pool[random() % 8];
            }
        }
        const auto out = DecodeWindowRegistration(EncodeWindowRegistration(in));
        ASSERT_TRUE(out);
        EXPECT_EQ(*out, in);
    }
}

TEST(WindowRegistrationTest, KnownText) {
    WindowRegistration in;
    in.kind = WindowKind::kMessageOnly;
    in.pid = 4711;
    in.socketName = "00000000000000000007.sock";
    in.className = u"Q";
    in.title = u"c\x7528";
    EXPECT_EQ(EncodeWindowRegistration(in),
              "corvo-im-window 1\nkind message-only\npid 4711\n"
              "socket 00000000000000000007.sock\nclass 0051\ntitle 00637528\n");
}

TEST(WindowRegistrationTest, RejectsAnythingElse) {
    const std::string good =
        "corvo-im-window 1\nkind top-level\npid 12\nsocket a.sock\nclass 0051\ntitle \n";
    ASSERT_TRUE(DecodeWindowRegistration(good));
    const char* bad[] = {
        "",
        "corvo-im-window 2\nkind top-level\npid 12\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind child\npid 12\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 0\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 012\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid -12\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 99999999999\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket ../a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket ..\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket \nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket a.sock\nclass 051\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket a.sock\nclass 005a\ntitle \n",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket a.sock\nclass 0051\ntitle ",
        "corvo-im-window 1\nkind top-level\npid 12\nsocket a.sock\nclass 0051\ntitle \nx\n",
        "corvo-im-window 1\npid 12\nkind top-level\nsocket a.sock\nclass 0051\ntitle \n",
        "corvo-im-window 1\nkind  top-level\npid 12\nsocket a.sock\nclass 0051\ntitle \n",
    };
    for (const char* text : bad) EXPECT_FALSE(DecodeWindowRegistration(text)) << text;
}

}  // namespace
}  // namespace corvo::platform
