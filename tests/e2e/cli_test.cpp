// corvo-sso's quick-login subcommands against the reference client, through
// the registered module, and the demo.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        auto run = RunProgram(CORVO_SSO_PATH, {"register", "--module", CORVO_MODULE_PATH});
        ASSERT_EQ(run.exitCode, 0) << run.err;
    }
    PrivateEnvironment env_;
};

TEST_F(Cli, UsersJson) {
    ClientProcess client(
        env_, {"--account", "cnmarketa", "--account", "cnbizchnb:sub", "--client-version", "7.0"});
    ASSERT_TRUE(client.ready());
    auto run = RunProgram(CORVO_SSO_PATH, {"users", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "[\n"
              " {\"strKey_FullUserID\": \"cnmarketa\", \"strKey_SiteID\": \"cnmarket\", "
              "\"strKey_ShortUserID\": \"a\", \"strKey_SiteID_Description\": \"consumer "
              "marketplace\", \"strKey_QXClientVersion\": \"7.0\"},\n"
              " {\"strKey_FullUserID\": \"cnbizchnb:sub\", \"strKey_SiteID\": \"cnbizchn\", "
              "\"strKey_ShortUserID\": \"b:sub\", \"strKey_SiteID_Description\": "
              "\"business-to-business site\", \"strKey_QXClientVersion\": \"7.0\"}\n"
              "]\n");
    run = RunProgram(CORVO_SSO_PATH, {"users", "--json", "--flag", "1", "--include-sub", "0"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.find("cnbizchnb"), std::string::npos);
    run = RunProgram(CORVO_SSO_PATH, {"users", "--flag", "4", "--json"});
    EXPECT_EQ(run.out, "[]\n");
}

TEST_F(Cli, LoginJsonAndFailures) {
    ClientProcess client(
        env_, {"--account", "cnmarketlogin", "--answer-url", "https://login.market.example/\"q\""});
    ASSERT_TRUE(client.ready());
    auto run = RunProgram(CORVO_SSO_PATH, {"login", "cnmarketlogin", "--json"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
              "{\"strKey_GOResult\": \"1\", \"strKey_ResultURL\": "
              "\"https://login.market.example/\\u0022q\\u0022\"}\n");
    run = RunProgram(CORVO_SSO_PATH, {"login", "cnmarketlogin"});
    EXPECT_EQ(run.out,
              "strKey_GOResult\t1\nstrKey_ResultURL\thttps://login.market.example/\"q\"\n");
    run = RunProgram(CORVO_SSO_PATH, {"login", "cnmarketlogin", "--reserved", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("E_FAIL"), std::string::npos);
    run = RunProgram(CORVO_SSO_PATH, {"login", "cnmarketnobody"});
    EXPECT_EQ(run.exitCode, 1);
    run = RunProgram(CORVO_SSO_PATH, {"login"});
    EXPECT_EQ(run.exitCode, 2);
}

TEST_F(Cli, ClientVersionFromTheConfigurationBesideTheModule) {
    auto run = RunProgram(CORVO_SSO_PATH, {"client-version"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "9.1.0.2025\n");
}

TEST(CliWithoutEnvironment, DemoSucceedsAndCleansUp) {
    auto run = RunProgram(CORVO_SSO_PATH, {"demo"});
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("strKey_GOResult"), std::string::npos);
    EXPECT_NE(run.out.find("The demo succeeded"), std::string::npos);
}

TEST(ImClientOptions, BadOptionsAndUnusableDirectories) {
    PrivateEnvironment env;
    const std::string file = (env.root() / "plain-file").string();
    { std::ofstream(file) << "x"; }
    fs::create_directory(env.root() / "shared");
    fs::permissions(env.root() / "shared", fs::perms::all);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "--account is required"},
        {{"--account", "cnmarketa", "--bogus"}, 2, "bogus"},
        {{"--account", "cnmarketa", "--result", "x"}, 2, "--result"},
        {{"--account", "cnmarketa", "--dir", (env.root() / "missing/im").string()},
         1,
         "cannot use the endpoint directory"},
        {{"--account", "cnmarketa", "--dir", file}, 1, "cannot use the endpoint directory"},
        {{"--account", "cnmarketa", "--dir", (env.root() / "shared").string()},
         1,
         "not a private directory"},
    };
    for (const auto& c : cases) {
        auto run = RunProgram(CORVO_IMCLIENT_PATH, c.args);
        EXPECT_EQ(run.exitCode, c.status) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

}  // namespace
}  // namespace corvo::e2e
