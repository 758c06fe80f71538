// The quick-login exchange seen from outside: corvo-sso (`users`, `login`)
// against the reference client, both separate programs. The same cases run
// against corvo-sso.exe and corvo-imclient.exe under wine64 (label `wine`),
// through real windows, WM_COPYDATA, named file mappings and events; after
// each case nothing of the control's is left in the system (the client's own
// windows and user blocks excepted).
#include <gtest/gtest.h>

#include <regex>

#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

using namespace std::chrono_literals;

constexpr char kLoginFailed[] = "error: BeginSSOLogin failed: E_FAIL (0x80004005)\n";

// The IDs of a `users --json` listing, in order.
std::vector<std::string> ListedIds(const std::string& json) {
    static const std::regex kId("\"strKey_FullUserID\": \"([^\"]*)\"");
    std::vector<std::string> ids;
    for (auto it = std::sregex_iterator(json.begin(), json.end(), kId);
         it != std::sregex_iterator(); ++it)
        ids.push_back((*it)[1].str());
    return ids;
}

std::string ToText(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    return text;
}

class CliExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string missing = SubstituteModuleMissing(); !missing.empty())
            GTEST_SKIP() << missing;
        const auto run = RunSso({"register"});
        ASSERT_EQ(run.result.exitCode, 0) << run.result.err;
        mirror_.emplace();
        // A program start, for the time bounds below.
        startup_ = RunSso({"version"}).elapsed;
    }

    // After a case: no block or event of the requests the client saw
    // remains, and the only IM windows are the client's (or none once it
    // stopped).
    void ExpectNothingLeft(const ClientProcess& client, std::vector<std::string> clientWindows) {
        std::vector<std::string> names;
        for (const auto& n : RecordedNames(client))
            names.insert(names.end(), {Utf8(n.block), Utf8(n.event)});
        if (!names.empty()) {
            EXPECT_EQ(LiveObjects(names), std::vector<std::string>{});
        }
        EXPECT_EQ(ToText(ImWindows()), ToText(clientWindows));
    }

    PrivateEnvironment env_;
    std::optional<MachineClassMirror> mirror_;
    std::chrono::milliseconds startup_{0};
};

TEST_F(CliExchange, UserListWithEveryFilter) {
    const std::vector<std::string> accounts = {
        "cnmarketann",     "CNMARKETUPPER", "cnbizchnbob", "cnbizchnbob:desk",
        "cnmarketann:sub", "othersitexyz",  "cnmarketann", "",
        "cnmarketnoblock", "cnbiz"};
    std::vector<std::string> args{"--no-user-block", "cnmarketnoblock"};
    for (const auto& a : accounts) args.insert(args.end(), {"--account", a});
    ClientProcess client(env_, args);
    ASSERT_TRUE(client.ready());

    struct Case {
        const char* flag;
        const char* includeSub;
        std::vector<std::string> ids;
    };
    const std::vector<std::string> market = {"cnmarketann", "CNMARKETUPPER", "cnmarketann:sub",
                                             "cnmarketann"};
    const std::vector<std::string> marketMain = {"cnmarketann", "CNMARKETUPPER", "cnmarketann"};
    const std::vector<std::string> all = {"cnmarketann",      "CNMARKETUPPER",   "cnbizchnbob",
                                          "cnbizchnbob:desk", "cnmarketann:sub", "cnmarketann"};
    const Case cases[] = {
        {"0", "1", all},
        {"-1", "1", all},
        {"3", "1", all},
        {"1", "1", market},
        {"2", "1", {"cnbizchnbob", "cnbizchnbob:desk"}},
        {"4", "1", {}},
        {"0", "0", {"cnmarketann", "CNMARKETUPPER", "cnbizchnbob", "cnmarketann"}},
        {"1", "2", marketMain},
        {"1", "-1", marketMain},
        {"5", "1", market},  // bit 2 means nothing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("flag ") + c.flag + ", include-sub " + c.includeSub);
        const auto run =
            RunSso({"users", "--json", "--flag", c.flag, "--include-sub", c.includeSub});
        EXPECT_EQ(run.result.exitCode, 0) << run.result.err;
        EXPECT_EQ(ListedIds(run.result.out), c.ids) << run.result.out;
    }
    // The items' values come from the user blocks.
    const auto table = RunSso({"users", "--flag", "2", "--include-sub", "0"});
    EXPECT_EQ(table.result.out,
              "FULL USER ID  SITE ID   SHORT ID  SITE                       CLIENT VERSION\n"
              "cnbizchnbob   cnbizchn  bob       business-to-business site  9.1.0.2025\n");
    std::vector<std::string> windows;
    for (const char* kind : {"top-level ", "message-only "})
        for (const auto& a : accounts) windows.push_back(kind + a);
    ExpectNothingLeft(client, windows);
}

struct AnswerCase {
    const char* name;
    std::vector<std::string> clientArgs;
    std::vector<std::string> loginArgs;
    int exitCode;
    const char* out;  // the whole standard output
};

TEST_F(CliExchange, QuickLoginWithEveryAnswer) {
    const std::string wide = "https://login.market.example/\xE8\xB5\xB0?a=1&b=<2>";
    const std::string longUrl = "https://login.market.example/" + std::string(150, 'x');
    const std::string wideOut = "strKey_GOResult\t1\nstrKey_ResultURL\t" + wide + "\n";
    const std::string longOut = "strKey_GOResult\t1\nstrKey_ResultURL\t" + longUrl + "\n";
    const AnswerCase cases[] = {
        {"encoded answer", {"--answer-url", wide}, {}, 0, wideOut.c_str()},
        {"plain answer", {"--plain-answer", "--answer-url", wide}, {}, 0, wideOut.c_str()},
        {"long address", {"--answer-url", longUrl}, {}, 0, longOut.c_str()},
        {"as JSON",
         {"--answer-url", "https://login.market.example/{account}\""},
         {"--json"},
         0,
         "{\"strKey_GOResult\": \"1\", \"strKey_ResultURL\": "
         "\"https://login.market.example/cnmarketquick\\u0022\"}\n"},
        {"answer after 300 ms",
         {"--delay-ms", "300", "--answer-url", wide},
         {},
         0,
         wideOut.c_str()},
        {"result 0", {"--result", "0"}, {}, 1, ""},
        {"result 2", {"--result", "2"}, {}, 1, ""},
        {"result -1", {"--result", "-1"}, {}, 1, ""},
        {"corrupt answer block", {"--corrupt-answer"}, {}, 1, ""},
        {"lReserved 1", {}, {"--reserved", "1"}, 1, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"--account", "cnmarketquick", "--print-requests"};
        args.insert(args.end(), c.clientArgs.begin(), c.clientArgs.end());
        ClientProcess client(env_, args);
        ASSERT_TRUE(client.ready());
        std::vector<std::string> login{"login", "cnmarketquick"};
        login.insert(login.end(), c.loginArgs.begin(), c.loginArgs.end());
        const auto run = RunSso(login);
        EXPECT_EQ(run.result.exitCode, c.exitCode) << run.result.err;
        EXPECT_EQ(run.result.out, c.out);
        if (c.exitCode != 0) {
            EXPECT_TRUE(run.result.err.starts_with(kLoginFailed)) << run.result.err;
        }
        // The client was asked in every case, exactly once.
        EXPECT_EQ(RecordedNames(client).size(), 1u) << client.Output();
        ExpectNothingLeft(client, {"top-level cnmarketquick", "message-only cnmarketquick"});
    }
}

TEST_F(CliExchange, NoWindowNoSignalHungClient) {
    ClientProcess client(
        env_, {"--account", "cnmarketsilent", "--no-signal", "--account", "cnmarketstuck",
               "--hang-account", "cnmarketstuck", "--print-requests"});
    ASSERT_TRUE(client.ready());
    const std::vector<std::string> windows = {"top-level cnmarketsilent", "top-level cnmarketstuck",
                                              "message-only cnmarketsilent",
                                              "message-only cnmarketstuck"};

    // No window for the account: refused at once, nothing sent.
    auto run = RunSso({"login", "cnmarketnobody"});
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_LT(run.elapsed, startup_ + 2000ms);
    EXPECT_TRUE(RecordedNames(client).empty());

    // Asked, answered, never signalled: the 3000 ms wait runs out.
    run = RunSso({"login", "cnmarketsilent"});
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_TRUE(run.result.err.starts_with(kLoginFailed)) << run.result.err;
    EXPECT_GE(run.elapsed, 3000ms);
    EXPECT_LT(run.elapsed, startup_ + 6000ms);
    EXPECT_EQ(RecordedNames(client).size(), 1u);

    // A window nobody serves: the send gives up (2000 ms at most), then the wait.
    run = RunSso({"login", "cnmarketstuck"});
    EXPECT_EQ(run.result.exitCode, 1);
    EXPECT_GE(run.elapsed, 3000ms);
    EXPECT_LT(run.elapsed, startup_ + 8000ms);
    EXPECT_EQ(RecordedNames(client).size(), 1u);
    ExpectNothingLeft(client, windows);
}

TEST_F(CliExchange, RefusedPageAsksNobody) {
    ClientProcess client(env_, {"--account", "cnmarketpage", "--print-requests"});
    ASSERT_TRUE(client.ready());
    for (const char* page : {"https://evil.example/", "http://login.market.example.evil.example/",
                             "http://u@login.market.example/"}) {
        SCOPED_TRACE(page);
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"users"},
              std::vector<std::string>{"login", "cnmarketpage"}}) {
            std::vector<std::string> args{"--page", page};
            args.insert(args.end(), command.begin(), command.end());
            const auto run = RunSso(args);
            EXPECT_EQ(run.result.exitCode, 1);
            EXPECT_EQ(run.result.out, "");
            EXPECT_NE(run.result.err.find("E_FAIL (0x80004005)"), std::string::npos)
                << run.result.err;
        }
    }
    EXPECT_TRUE(RecordedNames(client).empty()) << client.Output();
    // The allowed page of the same client works.
    const auto run = RunSso({"login", "cnmarketpage"});
    EXPECT_EQ(run.result.exitCode, 0) << run.result.err;
    ExpectNothingLeft(client, {"top-level cnmarketpage", "message-only cnmarketpage"});
}

TEST_F(CliExchange, NothingRemainsOnceTheClientStopped) {
    std::vector<std::string> blocks;
    {
        ClientProcess client(env_, {"--account", "cnmarketlast", "--print-requests"});
        ASSERT_TRUE(client.ready());
        EXPECT_EQ(RunSso({"login", "cnmarketlast"}).result.exitCode, 0);
        blocks = {"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}cnmarketlast"};
        EXPECT_EQ(LiveObjects(blocks), blocks);  // the client's own, while it runs
        for (const auto& n : RecordedNames(client))
            blocks.insert(blocks.end(), {Utf8(n.block), Utf8(n.event)});
        EXPECT_EQ(blocks.size(), 3u);
        client.Stop();
    }
    EXPECT_EQ(LiveObjects(blocks), std::vector<std::string>{});
    EXPECT_EQ(ImWindows(), std::vector<std::string>{});
}

}  // namespace
}  // namespace corvo::e2e
