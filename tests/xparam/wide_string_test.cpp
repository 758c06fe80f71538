// The library string: growth rule, in-place reuse, aliasing sources.
#include "xparam/wide_string.h"

#include <gtest/gtest.h>

namespace xparam {
namespace {

TEST(WideString, EmptyHoldsNoBlockButReadsAsTerminatedText) {
    WideString s;
    EXPECT_EQ(s.Capacity(), 0u);
    EXPECT_EQ(s.Data()[0], u'\0');
    s.Assign(u"abc", 3);
    s.Assign(u"", 0);
    EXPECT_EQ(s.Capacity(), 0u);
    s.Resize(2);
    EXPECT_EQ(s.View(), std::u16string_view(u"\0\0", 2));
    s.Resize(0);
    EXPECT_EQ(s.Capacity(), 0u);
}

TEST(WideString, GrowthRule) {
    struct Step {
        const char* op;  // "u" append one unit, "rN" append a run of N, "aN" assign N units
        uint32_t capacity;
    } steps[] = {
        {"u", 8},    {"r7", 8},   {"u", 13},    // 9 units: 1.5 * 9 = 13
        {"r4", 13},  {"r1", 19},                // 14 > 13: max(14, 8, 1.5 * 13 = 19)
        {"r30", 44},                            // 44 > 1.5 * 14 = 21
        {"a40", 44}, {"a30", 44}, {"a29", 29},  // 44 > 1.5 * 29 = 43: shrinks to 29
        {"a20", 29},                            // 29 <= 30: still reused
        {"a3", 8},                              // at least 8
    };
    WideString s;
    char16_t units[64] = {};
    for (auto& st : steps) {
        int n = st.op[1] ? std::atoi(st.op + 1) : 1;
        if (st.op[0] == 'u') s.Append(u'x');
        if (st.op[0] == 'r') s.Append(units, n);
        if (st.op[0] == 'a') s.Assign(units, n);
        EXPECT_EQ(s.Capacity(), st.capacity) << st.op;
    }
}

TEST(WideString, AppendAndAssignFromItself) {
    WideString s(u"abcdefgh", 8);  // full block
    s.Append(s.Data(), s.Length());
    EXPECT_EQ(s.View(), u"abcdefghabcdefgh");
    s.Assign(s.Data() + 4, 4);
    EXPECT_EQ(s.View(), u"efgh");
    WideString t = s;
    EXPECT_TRUE(t == s);
    t.Append(u'\0');
    EXPECT_FALSE(t == s);
    EXPECT_EQ(t.Length(), 5u);
}

TEST(ByteString, HoldsArbitraryBytes) {
    const unsigned char bytes[] = {0, 1, 0xFF, 0};
    ByteString b(bytes, 4);
    EXPECT_EQ(b.Length(), 4u);
    EXPECT_EQ(b.Data()[2], 0xFF);
    EXPECT_EQ(b.Data()[4], 0);
}

}  // namespace
}  // namespace xparam
