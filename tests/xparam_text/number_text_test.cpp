#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "xparam/value_conversions.h"

namespace {

using xparam::FormatBool;
using xparam::FormatFloat;
using xparam::FormatInteger;
using xparam::FormatPointer;

template <class Text>
std::string Ascii(const Text& t) {
    std::string s;
    for (int32_t k = 0; k < t.length; ++k) s.push_back(static_cast<char>(t.text[k]));
    EXPECT_EQ(t.text[t.length], 0) << "terminator";
    return s;
}

// Both forms hold the same characters.
template <class F>
std::string BothForms(F format) {
    const auto ascii = format.template operator()<char>();
    const auto wide = format.template operator()<char16_t>();
    EXPECT_EQ(Ascii(ascii), Ascii(wide));
    return Ascii(ascii);
}

std::string Double(double v) {
    return BothForms([v]<class C>() { return FormatFloat<C>(v); });
}
std::string Float(float v) {
    return BothForms([v]<class C>() { return FormatFloat<C>(v); });
}
std::string Signed(int64_t v) {
    return BothForms([v]<class C>() { return FormatInteger<C>(v, true); });
}
std::string Unsigned(uint64_t v) {
    return BothForms([v]<class C>() { return FormatInteger<C>(static_cast<int64_t>(v), false); });
}

TEST(TextForm, Integers) {
    EXPECT_EQ(Signed(0), "0");
    EXPECT_EQ(Signed(-1), "-1");
    EXPECT_EQ(Signed(-128), "-128");
    EXPECT_EQ(Signed(INT16_MIN), "-32768");
    EXPECT_EQ(Signed(INT32_MIN), "-2147483648");
    EXPECT_EQ(Signed(INT64_MIN), "-9223372036854775808");
    EXPECT_EQ(Signed(INT64_MAX), "9223372036854775807");
    EXPECT_EQ(Unsigned(UINT64_MAX), "18446744073709551615");
    EXPECT_EQ(Unsigned(255), "255");
    EXPECT_EQ(Unsigned(0), "0");
}

TEST(TextForm, FloatingTruncatesToNineDigits) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {100.0, "100"},
        {3.0000000001, "3"},
        {2.5, "2.5"},
        {0.05, "0.05"},
        {0.1, "0.1"},
        {0.3, "0.3"},
        {-0.25, "-0.25"},
        {-2.5, "-2.5"},
        {0.0, "0"},
        {-0.0, "0"},
        {-1e-12, "-0"},  // negative with a zero integer part, nothing after the point
        {-0.0000000009, "-0"},
        {0.999999999999, "0.999999999"},
        {1.000000001, "1.000000001"},
        {-7.0000001, "-7.0000001"},
        {2147483647.5, "2147483647.5"},
        {-2147483648.0, "-2147483648"},
        // Beyond the 32-bit range the whole integer part is written.
        {1e10, "10000000000"},
        {-4294967296.25, "-4294967296.25"},
        {1e20, "100000000000000000000"},
        {-9223372036854775808.0, "-9223372036854775808"},
        {9223372036854775808.0, "9223372036854775808"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::numeric_limits<double>::quiet_NaN(), "nan"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Double(c.value), c.text) << c.value;
    }
    EXPECT_EQ(Double(1e308).size(), 309u);
    EXPECT_EQ(Double(-std::numeric_limits<double>::max()).size(), 310u);
    EXPECT_EQ(Float(0.1f), "0.100000001");
    EXPECT_EQ(Float(-2.5f), "-2.5");
    EXPECT_EQ(Float(16777216.0f), "16777216");
    EXPECT_EQ(Float(3e38f), "300000000549775575777803994281145270272");
}

TEST(TextForm, FloatingFormParsesBack) {
    // Every text form is accepted by the parse of its own kind.
    for (double v : {0.5, -123.125, 1e15, 0.001, -0.000000001, 42.0}) {
        const auto text = FormatFloat<char16_t>(v);
        double back = 0;
        ASSERT_TRUE(xparam::ParseDouble(text.data(), text.length, back)) << v;
        EXPECT_NEAR(back, v, 1e-9 * (1 + std::abs(v)));
    }
}

TEST(TextForm, BoolAndPointer) {
    EXPECT_EQ(BothForms([]<class C>() { return FormatBool<C>(true); }), "1");
    EXPECT_EQ(BothForms([]<class C>() { return FormatBool<C>(false); }), "0");
    EXPECT_EQ(BothForms([]<class C>() { return FormatPointer<C>(nullptr); }), "0x0");
    // An address as wide as the platform's pointers (32 bits on win32).
    const uintptr_t bits = sizeof(void*) == 8 ? uintptr_t(0xDEADbeef12ull) : uintptr_t(0xDEADbeefu);
    const void* p = reinterpret_cast<const void*>(bits);
    EXPECT_EQ(BothForms([p]<class C>() { return FormatPointer<C>(p); }),
              sizeof(void*) == 8 ? "0xdeadbeef12" : "0xdeadbeef");
    const void* top = reinterpret_cast<const void*>(UINTPTR_MAX);
    EXPECT_EQ(BothForms([top]<class C>() { return FormatPointer<C>(top); }).size(),
              2 + 2 * sizeof(void*));
}

}  // namespace
