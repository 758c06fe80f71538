#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "xparam/value_conversions.h"

namespace {

using xparam::FormatInteger;
using xparam::ParseDouble;
using xparam::ParseFloat;
using xparam::ParseInteger;

template <class T>
::testing::AssertionResult Parses(const std::u16string& text, T expected) {
    T out{};
    if (!ParseInteger(text.data(), static_cast<int32_t>(text.size()), out)) {
        return ::testing::AssertionFailure() << "parse failed";
    }
    if (out != expected) return ::testing::AssertionFailure() << "got " << +out;
    return ::testing::AssertionSuccess();
}

template <class T>
bool Fails(const std::u16string& text) {
    T out = T(7);
    return !ParseInteger(text.data(), static_cast<int32_t>(text.size()), out) && out == T(7);
}

TEST(IntegerParse, Int32Rules) {
    struct Case {
        std::u16string text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {
        {u"  -42", true, -42},
        {u"4 2", true, 42},
        {u"\t4\t2 ", true, 42},
        {u"0x1F", true, 31},
        {u"$1F", true, 31},
        {u"x1F", true, 31},
        {u"0X1f", true, 31},
        {u"0x-10", true, -16},
        {u"+7", true, 7},
        {u"+-7", true, -7},
        {u"0-5", true, -5},
        {u"00012", true, 12},
        {u"2147483647", true, 2147483647},
        {u"-2147483648", true, INT32_MIN},
        {u"4294967295", true, -1},
        {u"42abc", false, 0},
        {u"", false, 0},
        {u"12.5", false, 0},
        {u"-+7", false, 0},
        {u"5-", false, 0},
        {u"5+", false, 0},
        {u"1x2", false, 0},
        {u"0x0x1", false, 0},
        {u"ff", false, 0},
        {u"1e3", false, 0},
        {u"\u0661", false, 0},  // Arabic-Indic digit one
        {u" ", false, 0},
        {u"-", false, 0},
        {u"0x", true, 0},
        {u"x", false, 0},
        {u"+$", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        if (c.ok) {
            EXPECT_TRUE(Parses<int32_t>(c.text, c.value));
        } else {
            EXPECT_TRUE(Fails<int32_t>(c.text));
        }
    }
}

TEST(IntegerParse, WrapsPerWidth) {
    EXPECT_TRUE(Parses<uint8_t>(u"300", 44));
    EXPECT_TRUE(Parses<int8_t>(u"255", -1));
    EXPECT_TRUE(Parses<int8_t>(u"-128", -128));
    EXPECT_TRUE(Parses<int8_t>(u"128", -128));
    EXPECT_TRUE(Parses<uint32_t>(u"-1", 4294967295u));
    EXPECT_TRUE(Parses<uint16_t>(u"-1", 65535));
    EXPECT_TRUE(Parses<int16_t>(u"65536", 0));
    EXPECT_TRUE(Parses<uint64_t>(u"18446744073709551616", 0));
    EXPECT_TRUE(Parses<uint64_t>(u"-1", UINT64_MAX));
    EXPECT_TRUE(Parses<int64_t>(u"-9223372036854775808", INT64_MIN));
    EXPECT_TRUE(Parses<int64_t>(u"0xFFFFFFFFFFFFFFFF", -1));
    // The "value is 0" tests look at the target width: 256 is 0 as uint8_t.
    EXPECT_TRUE(Parses<uint8_t>(u"256x10", 16));
    EXPECT_TRUE(Fails<uint16_t>(u"256x10"));
}

TEST(IntegerParse, CountedTexts) {
    int32_t out = 0;
    // A NUL ends the text; a counted length is honoured exactly.
    const char16_t withNul[] = {u'1', u'2', 0, u'x', u'y'};
    ASSERT_TRUE(ParseInteger(withNul, 5, out));
    EXPECT_EQ(out, 12);
    ASSERT_TRUE(ParseInteger(u"123456", 2, out));
    EXPECT_EQ(out, 12);
    ASSERT_TRUE(ParseInteger(u"987", -1, out));
    EXPECT_EQ(out, 987);
    out = 5;
    EXPECT_FALSE(ParseInteger(static_cast<const char16_t*>(nullptr), -1, out));
    EXPECT_FALSE(ParseInteger(u"12", 0, out));
    EXPECT_FALSE(ParseInteger(withNul + 2, 3, out));  // first unit NUL
    EXPECT_EQ(out, 5);
}

template <class T>
void RoundTrip(std::mt19937_64& rng) {
    for (int k = 0; k < 2000; ++k) {
        const T v = static_cast<T>(rng());
        const auto text = FormatInteger<char16_t>(static_cast<int64_t>(v), std::is_signed_v<T>);
        T back{};
        ASSERT_TRUE(ParseInteger(text.data(), text.length, back)) << +v;
        ASSERT_EQ(back, v);
    }
    for (T v : {std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), T(0)}) {
        const auto text = FormatInteger<char16_t>(static_cast<int64_t>(v), std::is_signed_v<T>);
        T back{};
        ASSERT_TRUE(ParseInteger(text.data(), -1, back));
        ASSERT_EQ(back, v);
    }
}

TEST(IntegerParse, TextFormRoundTripsEveryWidth) {
    std::mt19937_64 rng(20240611);
    RoundTrip<int8_t>(rng);
    RoundTrip<uint8_t>(rng);
    RoundTrip<int16_t>(rng);
    RoundTrip<uint16_t>(rng);
    RoundTrip<int32_t>(rng);
    RoundTrip<uint32_t>(rng);
    RoundTrip<int64_t>(rng);
    RoundTrip<uint64_t>(rng);
}

TEST(FloatingParse, Rules) {
    struct Case {
        std::u16string text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {u"12.5", true, 12.5}, {u" - 2 . 5", true, -2.5}, {u"+.5", true, 0.5},  {u"7.", true, 7.0},
        {u"0-3", true, -3.0},  {u"1e3", false, 0},        {u"1.2.3", false, 0}, {u"", false, 0},
        {u"inf", false, 0},    {u"nan", false, 0},        {u".", false, 0},     {u"-", false, 0},
        {u"3-", false, 0},     {u"0x10", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
        double d = 99;
        EXPECT_EQ(ParseDouble(c.text.data(), static_cast<int32_t>(c.text.size()), d), c.ok);
        EXPECT_EQ(d, c.ok ? c.value : 99);
        float f = 99;
        EXPECT_EQ(ParseFloat(c.text.data(), static_cast<int32_t>(c.text.size()), f), c.ok);
        EXPECT_EQ(f, c.ok ? static_cast<float>(c.value) : 99.0f);
    }
}

TEST(FloatingParse, AccumulatesInRequestedPrecision) {
    // Single precision accumulation differs from double rounded to float.
    double d = 0;
    float f = 0;
    ASSERT_TRUE(ParseDouble(u"0.1", -1, d));
    ASSERT_TRUE(ParseFloat(u"0.1", -1, f));
    EXPECT_EQ(d, 0.1);
    EXPECT_EQ(f, 0.1f);
    ASSERT_TRUE(ParseDouble(u"16777217", -1, d));
    ASSERT_TRUE(ParseFloat(u"16777217", -1, f));
    EXPECT_EQ(d, 16777217.0);
    EXPECT_EQ(f, 16777216.0f);
}

TEST(NumericConversion, Rules) {
    using xparam::ConvertNumber;
    EXPECT_EQ(ConvertNumber<int32_t>(1e10), 1410065408);
    EXPECT_EQ(ConvertNumber<int32_t>(-0.9), 0);
    EXPECT_EQ(ConvertNumber<uint8_t>(-1.5), 255);
    EXPECT_EQ(ConvertNumber<uint8_t>(-1.5f), 255);
    EXPECT_EQ(ConvertNumber<int32_t>(int8_t{-3}), -3);
    EXPECT_EQ(ConvertNumber<uint32_t>(int8_t{-1}), 4294967295u);
    EXPECT_EQ(ConvertNumber<uint64_t>(uint8_t{200}), 200u);
    EXPECT_EQ(ConvertNumber<int8_t>(uint32_t{0x1FF}), -1);
    EXPECT_EQ(ConvertNumber<int32_t>(true), 1);
    EXPECT_EQ(ConvertNumber<double>(int32_t{5}), 5.0);
    EXPECT_EQ(ConvertNumber<double>(UINT64_MAX), 18446744073709551615.0);
    EXPECT_EQ(ConvertNumber<float>(0.1), 0.1f);
    // Out of range and NaN are defined: the integer-indefinite value.
    EXPECT_EQ(ConvertNumber<int64_t>(1e300), INT64_MIN);
    EXPECT_EQ(ConvertNumber<int64_t>(std::numeric_limits<double>::quiet_NaN()), INT64_MIN);
    EXPECT_EQ(ConvertNumber<int32_t>(-std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(ConvertNumber<int64_t>(-9223372036854775808.0), INT64_MIN);
}

}  // namespace
