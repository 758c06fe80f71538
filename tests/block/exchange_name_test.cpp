#include "control/exchange_name.h"

#include <gtest/gtest.h>

#include <set>

namespace corvo::control {
namespace {

TEST(ExchangeName, IsANewVersion4GuidInRegistryForm) {
    std::set<std::u16string> seen;
    for (int i = 0; i < 200; ++i) {
        const std::u16string name = MakeExchangeName();
        ASSERT_EQ(name.size(), 38u);
        GUID guid;
        ASSERT_TRUE(GuidFromText(name, &guid));
        EXPECT_EQ(GuidToText(guid), name);  // upper case, braces, hyphens
        EXPECT_EQ(name[15], u'4');          // version
        EXPECT_NE(std::u16string_view(u"89AB").find(name[20]), std::u16string_view::npos);
        EXPECT_TRUE(seen.insert(name).second);
    }
}

HRESULT FailingGuid(GUID*) {
    return E_FAIL;
}
uint32_t Tick1234() {
    return 1234;
}
uint32_t TickAboveInt32() {
    return 0x80000005u;
}

TEST(ExchangeName, FallsBackToTheFixedPrefixAndTheTickCount) {
    EXPECT_EQ(MakeExchangeName(FailingGuid, Tick1234),
              u"{926732A3-3744-4276-8586-E157C08E1F5D}1234");
    EXPECT_EQ(MakeExchangeName(FailingGuid, TickAboveInt32),
              u"{926732A3-3744-4276-8586-E157C08E1F5D}-2147483643");
    // Within one tick, two fallback names coincide.
    EXPECT_EQ(MakeExchangeName(FailingGuid, Tick1234), MakeExchangeName(FailingGuid, Tick1234));
}

TEST(ExchangeName, UserBlockNameIsThePrefixAndTheFullUserId) {
    EXPECT_EQ(MakeUserBlockName(u"cnalichnuser01"),
              u"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}cnalichnuser01");
}

}  // namespace
}  // namespace corvo::control
