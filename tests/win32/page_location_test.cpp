// Finding the page address and zone through the browser's own interfaces:
// the cases of tests/common/page_chain_cases.h, as tests/control checks them,
// played by IWebBrowser2, IOleClientSite's container document and the
// security manager.
#include "platform/page_location.h"

#include <gtest/gtest.h>

#include "tests/win32/fake_page_site.h"

namespace corvo::test {
namespace {

TEST(PageLocation, EveryLinkOfTheChainDecides) {
    CheckEveryLinkOfTheChain<FakePageSite>();
}

}  // namespace
}  // namespace corvo::test
