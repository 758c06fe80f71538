#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/com/bstr_fault_injection.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com.h"

namespace {

using corvo::BstrPtr;

TEST(Bstr, LayoutCarriesByteLengthPrefixAndTerminator) {
    struct Case {
        std::u16string text;
    };
    const Case cases[] = {
        {u""}, {u"a"}, {u"1.0.0.1"}, {std::u16string(u"a\0b", 3)}, {std::u16string(1000, u'x')}};
    for (const Case& c : cases) {
        BstrPtr s = BstrPtr::FromText(c.text);
        ASSERT_TRUE(s);
        uint32_t prefix;
        std::memcpy(&prefix, reinterpret_cast<const char*>(s.Get()) - 4, 4);
        EXPECT_EQ(prefix, c.text.size() * 2);
        EXPECT_EQ(SysStringLen(s.Get()), c.text.size());
        EXPECT_EQ(SysStringByteLen(s.Get()), c.text.size() * 2);
        EXPECT_EQ(s.Get()[c.text.size()], u'\0');
        EXPECT_EQ(s.View(), c.text);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(s.Get()) % 8, 0u);
    }
}

TEST(Bstr, NullAndEmpty) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);  // must be harmless

    BstrPtr empty(SysAllocString(u""));
    ASSERT_TRUE(empty);  // an empty BSTR is valid and not null
    EXPECT_EQ(SysStringLen(empty.Get()), 0u);

    // A null source with a length gives zero-filled characters.
    BstrPtr zeros(SysAllocStringLen(nullptr, 3));
    ASSERT_TRUE(zeros);
    EXPECT_EQ(zeros.View(), std::u16string(3, u'\0'));
}

TEST(Bstr, EmbeddedNulSurvivesWithLengthButNotThroughSysAllocString) {
    const char16_t text[] = u"ab\0cd";
    BstrPtr counted(SysAllocStringLen(text, 5));
    EXPECT_EQ(SysStringLen(counted.Get()), 5u);
    BstrPtr terminated(SysAllocString(text));
    EXPECT_EQ(SysStringLen(terminated.Get()), 2u);
}

TEST(Bstr, LengthThatCannotFitThePrefixIsRefused) {
    EXPECT_EQ(SysAllocStringLen(u"x", 0x80000000u), nullptr);
    EXPECT_EQ(SysAllocStringLen(u"x", 0xFFFFFFFFu), nullptr);
}

TEST(Bstr, InjectedFailureCountsSuccessesFirst) {
    corvo::testing::FailBstrAllocationAfter(2);
    BstrPtr a(SysAllocString(u"a")), b(SysAllocString(u"b")), c(SysAllocString(u"c"));
    corvo::testing::ClearBstrAllocationFailure();
    BstrPtr d(SysAllocString(u"d"));
    EXPECT_TRUE(a);
    EXPECT_TRUE(b);
    EXPECT_FALSE(c);
    EXPECT_TRUE(d);
}

}  // namespace
