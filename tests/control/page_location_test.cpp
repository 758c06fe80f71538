// Finding the page address and zone through the site's chain of interfaces.
#include "platform/posix/page_location.h"

#include <gtest/gtest.h>

#include "tests/control/fake_site.h"

namespace corvo::test {
namespace {

FakeSiteConfig Page(std::u16string address, DWORD zone = 3) {
    FakeSiteConfig c;
    c.address = std::move(address);
    c.zone = zone;
    return c;
}

// The same table runs on Windows against the browser's own interfaces
// (tests/win32/page_location_test.cpp).
TEST(PageLocation, EveryLinkOfTheChainDecides) {
    CheckEveryLinkOfTheChain<FakeSite>();
}

TEST(PageLocation, NullSiteIsRefusedWithZoneUnknown) {
    std::u16string address;
    int32_t zone = 0;
    EXPECT_FALSE(platform::GetPageAddressAndZone(nullptr, &address, &zone));
    EXPECT_EQ(zone, platform::kZoneUnknown);
}

TEST(PageLocation, AddressKeepsEmbeddedNul) {
    const std::u16string with_nul(u"https://a.example\0.evil.example/", 32);
    auto site = FakeSite::Create(Page(with_nul));
    std::u16string address;
    int32_t zone = 0;
    ASSERT_TRUE(platform::GetPageAddressAndZone(site->Unknown(), &address, &zone));
    EXPECT_EQ(address, with_nul);
    EXPECT_EQ(zone, 3);
}

}  // namespace
}  // namespace corvo::test
