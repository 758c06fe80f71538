#include "platform/code_page_string.h"

#include <gtest/gtest.h>

#include "platform/code_page.h"

namespace corvo::platform {
namespace {

// Each text through code page 936 and back, with its exact bytes.
TEST(CodePageString, RoundTripsThroughCodePage936) {
    struct Case {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"", ""},
        {u"cnmarketalice", "cnmarketalice"},
        {u"\u4e2d\u6587", "\xd6\xd0\xce\xc4"},
        {std::u16string(u"a\0b", 3), std::string("a\0b", 3)},  // embedded NULs are text
    };
    for (const Case& c : cases) {
        std::string bytes = "stale";
        ASSERT_EQ(ConvertToCodePage(kCodePageGbk, c.text, bytes), CodePageStringStatus::kOk);
        EXPECT_EQ(bytes, c.bytes);
        std::u16string text = u"stale";
        ASSERT_EQ(ConvertFromCodePage(kCodePageGbk, bytes, text), CodePageStringStatus::kOk);
        EXPECT_EQ(text, c.text);
    }
}

TEST(CodePageString, LenientBothWaysAndFailuresLeaveTheOutputAlone) {
    std::string bytes;
    ASSERT_EQ(ConvertToCodePage(kCodePageGbk, u"\U0001F600", bytes), CodePageStringStatus::kOk);
    EXPECT_EQ(bytes, "??");  // one "?" per UTF-16 unit, as on Windows
    std::u16string text;
    ASSERT_EQ(ConvertFromCodePage(kCodePageGbk, "\xff", text), CodePageStringStatus::kOk);
    EXPECT_EQ(text, u"\uFFFD");

    constexpr uint32_t kNoSuchCodePage = 1;
    bytes = "kept";
    text = u"kept";
    EXPECT_EQ(ConvertToCodePage(kNoSuchCodePage, u"x", bytes), CodePageStringStatus::kFailed);
    EXPECT_EQ(ConvertFromCodePage(kNoSuchCodePage, "x", text), CodePageStringStatus::kFailed);
    EXPECT_EQ(bytes, "kept");
    EXPECT_EQ(text, u"kept");
}

}  // namespace
}  // namespace corvo::platform
