// A client killed with SIGKILL between exchanges: nothing it left is read as
// live (its windows and user blocks are ignored at once), and the next client
// of the user removes it and publishes fresh blocks.
#include <gtest/gtest.h>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "platform/posix/exchange_object_directory.h"
#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

using namespace std::chrono_literals;

std::string UserBlockFile(std::u16string_view account) {
    return *platform::ExchangeObjectFileName(control::MakeUserBlockName(account));
}

TEST(KilledClient, BetweenExchangesNothingStaleIsReadAndTheNextClientStartsClean) {
    PrivateEnvironment env;
    ClientProcess killed(env,
                         {"--account", "cnmarketalpha", "--account", "cnbizchnbeta",
                          "--client-version", "1.0-killed"},
                         "killed");
    ASSERT_TRUE(killed.ready());
    ASSERT_EQ(QuickLogin(u"cnmarketalpha").hr, S_OK);
    killed.Kill();

    // Its user blocks are still there, but nobody holds them: never read.
    EXPECT_EQ(ObjectFiles(env), (std::vector<std::string>{UserBlockFile(u"cnbizchnbeta"),
                                                          UserBlockFile(u"cnmarketalpha")}));
    std::u16string text;
    EXPECT_EQ(control::ReadBlockDocument(control::MakeUserBlockName(u"cnmarketalpha"),
                                         u"cnmarketalpha", &text),
              control::BlockStatus::kNotFound);
    std::vector<UserItem> items;
    ASSERT_EQ(UserList(0, 1, &items), S_OK);
    EXPECT_TRUE(items.empty());
    const auto failed = QuickLogin(u"cnmarketalpha");
    EXPECT_EQ(failed.hr, E_FAIL);
    EXPECT_LT(failed.elapsed, 1000ms);

    // The same account again, without a user block: left out of the list
    // (as an account without a block is), not listed with what the killed
    // client published; the other account's stale block is gone too.
    ClientProcess bare(env, {"--account", "cnmarketalpha", "--no-user-block", "cnmarketalpha"},
                       "bare");
    ASSERT_TRUE(bare.ready());
    EXPECT_TRUE(ObjectFiles(env).empty());
    ASSERT_EQ(UserList(0, 1, &items), S_OK);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(QuickLogin(u"cnmarketalpha").hr, S_OK);  // its windows are live
    bare.Kill();

    // A restarted client publishes fresh blocks: its own version is listed.
    ClientProcess restarted(env, {"--account", "cnmarketalpha", "--client-version", "2.0-fresh"},
                            "restarted");
    ASSERT_TRUE(restarted.ready());
    EXPECT_EQ(ObjectFiles(env), std::vector<std::string>{UserBlockFile(u"cnmarketalpha")});
    ASSERT_EQ(UserList(0, 1, &items), S_OK);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].back(), u"2.0-fresh");
    EXPECT_EQ(QuickLogin(u"cnmarketalpha").hr, S_OK);
    EXPECT_EQ(restarted.Stop(), 0);
    EXPECT_TRUE(ObjectFiles(env).empty());
}

TEST(KilledClient, TwoLiveClientsCannotPublishTheSameUserBlock) {
    PrivateEnvironment env;
    ClientProcess first(env, {"--account", "cnmarketshared"}, "first");
    ASSERT_TRUE(first.ready());
    auto second = RunProgram(CORVO_IMCLIENT_PATH, {"--account", "cnmarketshared"});
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.err.find("a live block of that name exists"), std::string::npos) << second.err;
    EXPECT_NE(second.err.find(UserBlockFile(u"cnmarketshared")), std::string::npos) << second.err;
    // The first client's block is untouched.
    std::vector<UserItem> items;
    ASSERT_EQ(UserList(0, 1, &items), S_OK);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0][1], u"cnmarket");
}

}  // namespace
}  // namespace corvo::e2e
