// Many quick logins at once against one client: 8 threads of this process
// and 4 corvo-sso processes. Every call gets its own account's answer, every
// block and event name is used once, and nothing is left in the object directory.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

constexpr int kThreads = 8;
constexpr int kProcesses = 4;
constexpr int kLoginsPerThread = 25;
constexpr int kLoginsPerProcess = 5;

std::string AccountOf(int i) {
    return "cnmarketconc" + std::to_string(i % 3);
}

TEST(Concurrency, ThreadsAndProcessesAtOnce) {
    PrivateEnvironment env;
    const auto registered = RunProgram(CORVO_SSO_PATH, {"register", "--module", CORVO_MODULE_PATH});
    ASSERT_EQ(registered.exitCode, 0) << registered.err;
    std::vector<std::string> args{"--print-requests", "--answer-url",
                                  "https://login.market.example/?user={account}"};
    for (int i = 0; i < 3; ++i) args.insert(args.end(), {"--account", AccountOf(i)});
    ClientProcess client(env, args);
    ASSERT_TRUE(client.ready());

    std::atomic<int> wrong{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([t, &wrong] {
            for (int n = 0; n < kLoginsPerThread; ++n) {
                const std::string account = AccountOf(t + n);
                auto outcome = QuickLogin(Utf16(account));
                if (outcome.hr != S_OK ||
                    DataStr(outcome.data.Get(), u"strKey_ResultURL") !=
                        Utf16("https://login.market.example/?user=" + account))
                    ++wrong;
            }
        });
    }
    std::vector<std::thread> processes;
    std::vector<std::string> failures(kProcesses);
    for (int p = 0; p < kProcesses; ++p) {
        processes.emplace_back([p, &failures] {
            for (int n = 0; n < kLoginsPerProcess; ++n) {
                const std::string account = AccountOf(p + n);
                auto run = RunProgram(CORVO_SSO_PATH, {"login", account, "--json"});
                const std::string expected =
                    "{\"strKey_GOResult\": \"1\", \"strKey_ResultURL\": "
                    "\"https://login.market.example/?user=" +
                    account + "\"}\n";
                if (run.exitCode != 0 || run.out != expected) failures[p] += run.out + run.err;
            }
        });
    }
    for (auto& w : workers) w.join();
    for (auto& p : processes) p.join();
    EXPECT_EQ(wrong.load(), 0);
    for (const auto& f : failures) EXPECT_EQ(f, "");

    client.Stop();
    static const std::regex kLine(R"(.*&fname=([^&]*)&ename=([^&]*)&fsize=8208$)");
    std::set<std::string> names;
    size_t requests = 0;
    for (const auto& line : client.Records("request")) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, kLine)) << line;
        ++requests;
        for (int k : {1, 2}) {
            EXPECT_TRUE(names.insert(m[k].str()).second) << "name used twice: " << m[k].str();
            EXPECT_FALSE(BlockExists(Utf16(m[k].str())));
            EXPECT_FALSE(EventExists(Utf16(m[k].str())));
        }
    }
    EXPECT_EQ(requests, size_t(kThreads * kLoginsPerThread + kProcesses * kLoginsPerProcess));
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(BlockExists(u"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}" + Utf16(AccountOf(i))));
}

}  // namespace
}  // namespace corvo::e2e
