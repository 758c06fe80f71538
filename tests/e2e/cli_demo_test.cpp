// `corvo-sso demo` as a user runs it, natively and as corvo-sso.exe under
// wine64: the sample accounts are listed, the first one logs in, and the
// demo leaves the user's registration as it found it (on Windows it works
// in the user's own registry, so that is where it could lose something).
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

constexpr char kProgIdKey[] = "Software\\Classes\\CorvoSSOLoginM.SSOLoginCtrl";

// Whether the user's registry names the control's ProgID: read by Wine's
// own `reg` under the emulator, from the registry file natively.
bool ControlRegistered() {
    if (UnderEmulator()) {
        const auto run =
            RunProgram(std::getenv("CORVO_TOOL_EMULATOR"),
                       {"reg", "query", std::string("HKCU\\") + kProgIdKey + "\\CLSID"});
        return run.exitCode == 0;
    }
    std::string clsid;
    return SUCCEEDED(platform::RegistryStore().Read([&](const platform::RegistryTree& tree) {
        return tree.GetValue(std::string(kProgIdKey) + "\\CLSID", "", &clsid);
    }));
}

void ExpectTheLogin(const std::string& out) {
    for (const char* line : {"cnmarketdemo_alice", "cnbizchndemo_bob", "cnmarketdemo_alice:support",
                             "result (strKey_GOResult):     1\n", "The demo succeeded"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
}

class CliDemo : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string missing = SubstituteModuleMissing(); !missing.empty())
            GTEST_SKIP() << missing;
    }
    // Wine 8 reads type libraries from the machine's keys only, where Windows
    // reads the user's too: under the emulator the control's classes are
    // mirrored there first (see MachineClassMirror), so that the demo's own
    // per-user registration is all the control needs, as on Windows.
    void MirrorClasses() {
        if (!UnderEmulator()) return;
        ASSERT_EQ(RunSso({"register"}).result.exitCode, 0);
        mirror_.emplace();
    }

    PrivateEnvironment env_;  // natively the user's registry; unused by Windows
    std::optional<MachineClassMirror> mirror_;
};

TEST_F(CliDemo, RegistersForItselfAndRemovesWhatItMade) {
    MirrorClasses();
    RunSso({"unregister"});
    ASSERT_FALSE(ControlRegistered());
    const auto run = RunSso({"demo"});
    EXPECT_EQ(run.result.exitCode, 0) << run.result.out << run.result.err;
    ExpectTheLogin(run.result.out);
    EXPECT_NE(run.result.out.find("[6] Unregistering the module"), std::string::npos);
    EXPECT_FALSE(ControlRegistered());
    // The client stopped and took its windows with it.
    EXPECT_EQ(ImWindows(), std::vector<std::string>{});
}

TEST_F(CliDemo, KeepsTheUsersOwnRegistration) {
    MirrorClasses();
    ASSERT_EQ(RunSso({"register"}).result.exitCode, 0);
    ASSERT_TRUE(ControlRegistered());
    const auto run = RunSso({"demo"});
    EXPECT_EQ(run.result.exitCode, 0) << run.result.out << run.result.err;
    ExpectTheLogin(run.result.out);
    // Natively the demo has a registry of its own and never sees the user's.
    const char* expected =
        UnderEmulator() ? "is already registered for this user" : "in a private registry";
    EXPECT_NE(run.result.out.find(expected), std::string::npos) << run.result.out;
    EXPECT_NE(run.result.out.find(UnderEmulator() ? "[6] The existing registration stays"
                                                  : "[6] Unregistering the module"),
              std::string::npos);
    EXPECT_TRUE(ControlRegistered());
    RunSso({"unregister"});
}

}  // namespace
}  // namespace corvo::e2e
