// Finding the page address and zone through the site's chain of interfaces.
#include "platform/posix/page_location.h"

#include <gtest/gtest.h>

#include "tests/control/fake_site.h"

namespace corvo::test {
namespace {

struct ChainCase {
    const char* name;
    FakeSiteConfig config;
    bool found;
};

FakeSiteConfig Page(std::u16string address, DWORD zone = 3) {
    FakeSiteConfig c;
    c.address = std::move(address);
    c.zone = zone;
    return c;
}

template <class F>
FakeSiteConfig With(FakeSiteConfig c, F change) {
    change(c);
    return c;
}

TEST(PageLocation, EveryLinkOfTheChainDecides) {
    const FakeSiteConfig base = Page(u"https://a.example/x", 2);
    const ChainCase cases[] = {
        {"browser", base, true},
        {"no service provider", With(base, [](auto& c) { c.service_provider = false; }), false},
        {"browser cannot read its address", With(base, [](auto& c) { c.location_fails = true; }),
         false},
        {"browser fails, document not consulted",
         With(base,
              [](auto& c) {
                  c.location_fails = true;
                  c.document = true;
              }),
         false},
        {"no browser: document",
         With(base,
              [](auto& c) {
                  c.browser = false;
                  c.document = true;
              }),
         true},
        {"no browser, no document", With(base, [](auto& c) { c.browser = false; }), false},
        {"no browser, document unreadable",
         With(base,
              [](auto& c) {
                  c.browser = false;
                  c.document = true;
                  c.location_fails = true;
              }),
         false},
        {"no zone mapper", With(base, [](auto& c) { c.zone_mapper = false; }), false},
        {"zone mapping fails", With(base, [](auto& c) { c.zone_fails = true; }), false},
    };
    for (const ChainCase& tc : cases) {
        SCOPED_TRACE(tc.name);
        auto site = FakeSite::Create(tc.config);
        std::u16string address;
        int32_t zone = -1;
        EXPECT_EQ(platform::GetPageAddressAndZone(site->Unknown(), &address, &zone), tc.found);
        if (tc.found) {
            EXPECT_EQ(address, tc.config.address);
            EXPECT_EQ(zone, 2);
        }
        EXPECT_EQ(site->refs, 1u) << "every reference taken on the site is given back";
    }
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
