// The hostile-address corpus (tests/sitelock/hostile_addresses.tsv) through
// `corvo-sso sitelock check`: the control created from the registered module
// and placed on each address. Natively every verdict is the corpus's. Against
// corvo-sso.exe under wine64 the system's own parsers decide (UrlGetPartW,
// IdnToAscii, and the security manager for the internet-zone rows): every
// address refused here must be refused there too, and an address that only
// Windows refuses must be listed below with the reason (docs/platforms.md,
// "Site lock through corvo-sso.exe").
#include <gtest/gtest.h>

#include <map>

#include "platform/strict_utf8.h"
#include "tests/e2e/e2e_support.h"
#include "tests/sitelock/hostile_address_corpus.h"

namespace corvo::e2e {
namespace {

// Allowed by the corpus, refused by corvo-sso.exe under Wine: address and why.
const std::map<std::string, std::string> kOnlyWindowsRefuses = {
    {"http:///login.market.example/", "UrlGetPartW keeps the third slash: the host is empty"},
    {"http://login%2emarket.example/", "UrlGetPartW does not decode %2e: the % is refused"},
    {"http://%C3%B6.b2b.corvo.example/", "UrlGetPartW does not decode %C3%B6: the % is refused"},
};

// An address that a command line cannot carry: a NUL ends it, a lone
// surrogate has no UTF-8 form, and an empty one means the default page.
bool CommandLineCanCarry(const std::u16string& address, std::string* utf8) {
    return !address.empty() && address.find(u'\0') == std::u16string::npos &&
           platform::StrictUtf16ToUtf8(address, *utf8);
}

TEST(CliSiteLock, EveryCorpusAddressThroughTheTool) {
    if (const std::string missing = SubstituteModuleMissing(); !missing.empty())
        GTEST_SKIP() << missing;
    PrivateEnvironment env;
    ASSERT_EQ(RunSso({"register"}).result.exitCode, 0);
    const MachineClassMirror mirror;
    const auto rows = testing::LoadHostileAddressCorpus(CORVO_SITELOCK_CORPUS);
    ASSERT_GE(rows.size(), 50u);
    size_t checked = 0;
    std::string differences;
    for (const auto& row : rows) {
        std::string address;
        if (!CommandLineCanCarry(row.address, &address)) continue;
        SCOPED_TRACE("line " + std::to_string(row.line) + ": " + address + " (" + row.reason + ")");
        std::vector<std::string> args;
        // Under Wine the system's security manager gives the internet zone.
        if (!(UnderEmulator() && row.zone == 3)) args = {"--zone", std::to_string(row.zone)};
        args.insert(args.end(), {"sitelock", "check", address});
        const auto run = RunSso(args);
        ASSERT_TRUE(run.result.exitCode == 0 || run.result.exitCode == 1) << run.result.err;
        const bool allowed = run.result.exitCode == 0;
        EXPECT_EQ(run.result.out, allowed ? "allowed\n" : "refused\n") << run.result.err;
        ++checked;
        if (allowed == row.allowed) {
            EXPECT_FALSE(kOnlyWindowsRefuses.contains(address) && UnderEmulator())
                << "listed as refused by Windows only, but the verdicts agree now";
            continue;
        }
        if (!UnderEmulator() || allowed) {
            ADD_FAILURE() << (allowed ? "allowed, the corpus refuses it" : "refused");
            continue;
        }
        if (!kOnlyWindowsRefuses.contains(address))
            differences += "line " + std::to_string(row.line) + ": " + address + "\n";
    }
    EXPECT_EQ(differences, "") << "refused under Windows only, not listed";
    EXPECT_GE(checked, rows.size() - 10);
}

}  // namespace
}  // namespace corvo::e2e
