// What each link of a site's chain does when a control asks it for the page
// address and zone, and the cases that make each link decide. The POSIX fake
// site (tests/control/fake_site.h) and the Windows one
// (tests/win32/fake_page_site.h) both play a PageChain, so the two systems
// are checked against one table, by one check.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/page_location.h"

namespace corvo::test {

struct PageChain {
    std::u16string address;
    uint32_t zone = 3;
    bool service_provider = true;  // the site answers IServiceProvider
    bool browser = true;           // QueryService gives the browser
    bool document = false;         // the site leads to the container document
    bool location_fails = false;   // reading the address (browser's or document's) fails
    bool zone_mapper = true;       // QueryService gives the security manager
    bool zone_fails = false;       // MapUrlToZone fails
};

struct PageChainCase {
    const char* name;
    PageChain chain;
    bool found;         // the address and zone are found
    int address_reads;  // times the browser's or the document's address is read
};

inline std::vector<PageChainCase> PageChainCases() {
    PageChain base;
    base.address = u"https://a.example/x";
    base.zone = 2;
    auto with = [&base](auto change) {
        PageChain c = base;
        change(c);
        return c;
    };
    return {
        {"browser", base, true, 1},
        {"zone passed through", with([](PageChain& c) { c.zone = 0; }), true, 1},
        {"no service provider", with([](PageChain& c) { c.service_provider = false; }), false, 0},
        {"browser cannot read its address", with([](PageChain& c) { c.location_fails = true; }),
         false, 1},
        {"browser fails, document not consulted", with([](PageChain& c) {
             c.location_fails = true;
             c.document = true;
         }),
         false, 1},
        {"no browser: document", with([](PageChain& c) {
             c.browser = false;
             c.document = true;
         }),
         true, 1},
        {"no browser, no document", with([](PageChain& c) { c.browser = false; }), false, 0},
        {"no browser, document unreadable", with([](PageChain& c) {
             c.browser = false;
             c.document = true;
             c.location_fails = true;
         }),
         false, 1},
        {"no security manager", with([](PageChain& c) { c.zone_mapper = false; }), false, 1},
        {"zone mapping fails", with([](PageChain& c) { c.zone_fails = true; }), false, 1},
    };
}

// Runs GetPageAddressAndZone on `Site::Create(chain)` for every case. The
// site tells how often an address was read (AddressReads) and whether every
// reference taken on it and its objects was given back (AllReleased).
template <class Site>
void CheckEveryLinkOfTheChain() {
    for (const PageChainCase& tc : PageChainCases()) {
        SCOPED_TRACE(tc.name);
        auto site = Site::Create(tc.chain);
        std::u16string address;
        int32_t zone = -1;
        EXPECT_EQ(platform::GetPageAddressAndZone(site->Unknown(), &address, &zone), tc.found);
        if (tc.found) {
            EXPECT_EQ(address, tc.chain.address);
            EXPECT_EQ(zone, static_cast<int32_t>(tc.chain.zone));
        }
        EXPECT_EQ(site->AddressReads(), tc.address_reads);
        EXPECT_TRUE(site->AllReleased()) << "every reference taken is given back";
    }
}

}  // namespace corvo::test
