#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "platform/com/com.h"

namespace {

TEST(GuidText, RegistryFormIsUpperCaseWithBraces) {
    constexpr GUID clsid = MakeGuid("98ef2ec8-d064-491a-8111-3285e786e832");
    EXPECT_EQ(corvo::GuidToAscii(clsid), "{98EF2EC8-D064-491A-8111-3285E786E832}");
    OLECHAR buffer[39];
    EXPECT_EQ(StringFromGUID2(clsid, buffer, 39), 39);
    EXPECT_EQ(std::u16string(buffer), u"{98EF2EC8-D064-491A-8111-3285E786E832}");
    EXPECT_EQ(StringFromGUID2(clsid, buffer, 38), 0);  // no room for the NUL
}

TEST(GuidText, WindowsByteLayout) {
    constexpr GUID g = MakeGuid("00020400-0000-0000-C000-000000000046");
    const auto* bytes = reinterpret_cast<const unsigned char*>(&g);
    // Data1..Data3 little-endian integers, Data4 as bytes.
    const unsigned char expected[16] = {0x00, 0x04, 0x02, 0x00, 0, 0, 0, 0,
                                        0xC0, 0,    0,    0,    0, 0, 0, 0x46};
    EXPECT_EQ(std::memcmp(bytes, expected, 16), 0);
    EXPECT_TRUE(IsEqualGUID(g, IID_IDispatch));
    EXPECT_FALSE(IsEqualGUID(g, IID_IUnknown));
}

TEST(GuidText, RoundTripOfRandomGuids) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 1000; ++i) {
        GUID g;
        uint64_t a = rng(), b = rng();
        std::memcpy(&g, &a, 8);
        std::memcpy(reinterpret_cast<char*>(&g) + 8, &b, 8);
        std::u16string text = corvo::GuidToText(g);
        ASSERT_EQ(text.size(), 38u);
        GUID back{};
        ASSERT_EQ(CLSIDFromString(text.c_str(), &back), S_OK);
        EXPECT_TRUE(IsEqualGUID(g, back));
    }
}

TEST(GuidText, ParserAcceptsEitherCaseAndRejectsEverythingElse) {
    GUID g;
    EXPECT_TRUE(corvo::GuidFromAscii("{98ef2ec8-d064-491a-8111-3285e786e832}", &g));
    EXPECT_TRUE(corvo::GuidFromAscii("{B88AEC8F-38BB-4c82-8172-9E0263A58920}", &g));
    EXPECT_EQ(corvo::GuidToAscii(g), "{B88AEC8F-38BB-4C82-8172-9E0263A58920}");
    const char* bad[] = {
        "",
        "98EF2EC8-D064-491A-8111-3285E786E832",     // no braces
        "{98EF2EC8-D064-491A-8111-3285E786E832",    // missing brace
        "{98EF2EC8-D064-491A-8111-3285E786E83}",    // short
        "{98EF2EC8-D064-491A-8111-3285E786E8321}",  // long
        "{98EF2EC8-D064+491A-8111-3285E786E832}",   // wrong separator
        "{98EF2EC8D-064-491A-8111-3285E786E832}",   // misplaced dash
        "{98EF2EC8-D064-491A-8111-3285E786E8G2}",   // not hex
        "{ 8EF2EC8-D064-491A-8111-3285E786E832}",   // blank
    };
    for (const char* text : bad) EXPECT_FALSE(corvo::GuidFromAscii(text, &g)) << text;
    EXPECT_EQ(CLSIDFromString(u"{nonsense}", &g), CO_E_CLASSSTRING);
}

}  // namespace
