// `corvo-sso.exe browser install|status|uninstall` under wine64: the
// registry keys by which each browser finds the host's manifest, read back
// with Wine's own `reg`, and the manifests they name. (The Linux places are
// checked in tests/tools.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <regex>
#include <string>
#include <vector>

#include "tests/e2e/e2e_support.h"

namespace corvo::e2e {
namespace {

struct Browser {
    std::string name, key;
};
const std::vector<Browser> kBrowsers = {
    {"chromium", "HKCU\\Software\\Chromium\\NativeMessagingHosts\\com.corvo.sso_login"},
    {"chrome", "HKCU\\Software\\Google\\Chrome\\NativeMessagingHosts\\com.corvo.sso_login"},
    {"edge", "HKCU\\Software\\Microsoft\\Edge\\NativeMessagingHosts\\com.corvo.sso_login"},
    {"firefox", "HKCU\\Software\\Mozilla\\NativeMessagingHosts\\com.corvo.sso_login"},
};

ProgramResult Wine(const std::vector<std::string>& args) {
    return RunProgram(std::getenv("CORVO_TOOL_EMULATOR"), args);
}

// The key's default value, or nothing when the key is missing.
std::optional<std::string> DefaultValue(const std::string& key) {
    const auto run = Wine({"reg", "query", key, "/ve"});
    if (run.exitCode != 0) return std::nullopt;
    static const std::regex kLine(R"(REG_SZ\s+([^\r\n]*))");
    std::smatch m;
    if (!std::regex_search(run.out, m, kLine)) return std::string();
    return m[1].str();
}

nlohmann::json ReadManifest(const std::string& windowsPath) {
    const auto run = Wine({"cmd", "/c", "type", windowsPath});
    EXPECT_EQ(run.exitCode, 0) << windowsPath << run.err;
    return nlohmann::json::parse(run.out, nullptr, false);
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class BrowserRegistry : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!UnderEmulator()) GTEST_SKIP() << "the registry places are Windows'";
        RunSso({"browser", "uninstall"});
    }
    void TearDown() override {
        if (UnderEmulator()) RunSso({"browser", "uninstall"});
    }
};

TEST_F(BrowserRegistry, InstallNamesEachManifestAndUninstallRemovesIt) {
    const auto installed = RunSso({"browser", "install"});
    ASSERT_EQ(installed.result.exitCode, 0) << installed.result.err;
    EXPECT_EQ(installed.result.err, "");  // the host beside corvo-sso.exe exists
    for (const auto& browser : kBrowsers) {
        SCOPED_TRACE(browser.name);
        const auto manifestPath = DefaultValue(browser.key);
        ASSERT_TRUE(manifestPath);
        EXPECT_TRUE(manifestPath->ends_with("\\CorvoSSO\\NativeMessagingHosts\\" + browser.name +
                                            "\\com.corvo.sso_login.json"))
            << *manifestPath;
        const auto manifest = ReadManifest(*manifestPath);
        ASSERT_TRUE(manifest.is_object());
        EXPECT_EQ(manifest["name"], "com.corvo.sso_login");
        EXPECT_EQ(manifest["type"], "stdio");
        EXPECT_TRUE(manifest["path"].get<std::string>().ends_with("\\tools\\corvo-sso-host.exe"))
            << manifest["path"];
        EXPECT_EQ(manifest.contains("allowed_extensions"), browser.name == "firefox");
        EXPECT_EQ(manifest.contains("allowed_origins"), browser.name != "firefox");
    }
    const auto status = RunSso({"browser", "status"});
    EXPECT_EQ(status.result.exitCode, 0);
    EXPECT_EQ(Count(status.result.out, "(exists)\n"), kBrowsers.size()) << status.result.out;

    // One browser, then the others.
    ASSERT_EQ(RunSso({"browser", "uninstall", "--browser", "chrome"}).result.exitCode, 0);
    EXPECT_FALSE(DefaultValue(kBrowsers[1].key));
    EXPECT_TRUE(DefaultValue(kBrowsers[0].key));
    EXPECT_NE(RunSso({"browser", "status", "--browser", "chrome"}).result.out.find("not installed"),
              std::string::npos);
    const auto again = RunSso({"browser", "uninstall", "--browser", "chrome"});
    EXPECT_EQ(again.result.exitCode, 0);
    EXPECT_NE(again.result.out.find("not installed chrome"), std::string::npos);
    ASSERT_EQ(RunSso({"browser", "uninstall"}).result.exitCode, 0);
    for (const auto& browser : kBrowsers) EXPECT_FALSE(DefaultValue(browser.key)) << browser.name;
}

TEST_F(BrowserRegistry, AMissingHostAndTheOptionsWindowsHasNot) {
    const auto installed =
        RunSso({"browser", "install", "--browser", "edge", "--host", "C:\\nowhere\\host.exe"});
    ASSERT_EQ(installed.result.exitCode, 0) << installed.result.err;
    EXPECT_NE(installed.result.err.find("does not exist"), std::string::npos);
    EXPECT_NE(RunSso({"browser", "status", "--browser", "edge"})
                  .result.out.find("C:\\nowhere\\host.exe (MISSING)"),
              std::string::npos);
    // Windows browsers read no manifests from a profile directory.
    const auto profile =
        RunSso({"browser", "install", "--browser", "chromium", "--user-data-dir", "C:\\p"});
    EXPECT_EQ(profile.result.exitCode, 2);
    EXPECT_NE(profile.result.err.find("registry only"), std::string::npos);
    EXPECT_FALSE(DefaultValue(kBrowsers[0].key));
}

}  // namespace
}  // namespace corvo::e2e
