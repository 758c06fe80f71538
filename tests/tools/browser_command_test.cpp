// `corvo-sso browser install|uninstall|status`: where the manifests go, what
// they say, and the usage errors.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/common/subprocess.h"

namespace {

namespace fs = std::filesystem;

const char kManifestName[] = "com.corvo.sso_login.json";
const char kOrigin[] = "chrome-extension://khhcmcgdcmgndbggmomhiignciaookhl/";

// A private HOME (and no XDG_CONFIG_HOME) for each test.
class BrowserCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        home_ = fs::path(::testing::TempDir()) /
                ("corvo_browser_" + std::to_string(getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home_);
        fs::create_directories(home_);
    }
    void TearDown() override { fs::remove_all(home_); }

    corvo::test::ProgramResult Run(const std::vector<std::string>& args,
                                   const std::string& xdg = "") {
        corvo::test::ProgramOptions options;
        options.environment = {{"HOME", home_.string()}, {"XDG_CONFIG_HOME", xdg}};
        std::vector<std::string> all = {"browser"};
        all.insert(all.end(), args.begin(), args.end());
        return corvo::test::RunProgram(CORVO_SSO_PATH, all, options);
    }

    fs::path home_;
};

nlohmann::json ReadManifest(const fs::path& file) {
    return nlohmann::json::parse(corvo::test::ReadFileBytes(file.string()));
}

TEST_F(BrowserCommand, InstallWritesEachBrowsersManifestAndUninstallRemovesIt) {
    const std::vector<std::pair<std::string, fs::path>> places = {
        {"chromium", home_ / ".config/chromium/NativeMessagingHosts"},
        {"chrome", home_ / ".config/google-chrome/NativeMessagingHosts"},
        {"edge", home_ / ".config/microsoft-edge/NativeMessagingHosts"},
        {"firefox", home_ / ".mozilla/native-messaging-hosts"},
    };
    const fs::path host = fs::path(CORVO_SSO_PATH).parent_path() / "corvo-sso-host";
    for (const auto& [browser, dir] : places) {
        SCOPED_TRACE(browser);
        const auto installed = Run({"install", "--browser", browser});
        ASSERT_EQ(installed.exitCode, 0) << installed.err;
        const nlohmann::json manifest = ReadManifest(dir / kManifestName);
        EXPECT_EQ(manifest["name"], "com.corvo.sso_login");
        EXPECT_EQ(manifest["type"], "stdio");
        EXPECT_EQ(fs::path(manifest["path"].get<std::string>()), host);
        if (browser == "firefox") {
            EXPECT_EQ(manifest["allowed_extensions"],
                      nlohmann::json::array({"sso-login@corvo.example"}));
            EXPECT_FALSE(manifest.contains("allowed_origins"));
        } else {
            EXPECT_EQ(manifest["allowed_origins"], nlohmann::json::array({kOrigin}));
        }
        const auto status = Run({"status", "--browser", browser});
        EXPECT_EQ(status.exitCode, 0);
        EXPECT_NE(status.out.find("extension ID: khhcmcgdcmgndbggmomhiignciaookhl"),
                  std::string::npos);
        EXPECT_NE(status.out.find("installed, host " + host.string() + " (exists)"),
                  std::string::npos)
            << status.out;
        ASSERT_EQ(Run({"uninstall", "--browser", browser}).exitCode, 0);
        EXPECT_FALSE(fs::exists(dir / kManifestName));
        EXPECT_NE(Run({"status", "--browser", browser}).out.find("not installed"),
                  std::string::npos);
        EXPECT_NE(Run({"uninstall", "--browser", browser}).out.find("not installed"),
                  std::string::npos);
    }
}

TEST_F(BrowserCommand, AllBrowsersByDefaultAndTheConfigDirectoryOfXdg) {
    const fs::path xdg = home_ / "xdg";
    ASSERT_EQ(Run({"install"}, xdg.string()).exitCode, 0);
    EXPECT_TRUE(fs::exists(xdg / "chromium/NativeMessagingHosts" / kManifestName));
    EXPECT_TRUE(fs::exists(xdg / "google-chrome/NativeMessagingHosts" / kManifestName));
    EXPECT_TRUE(fs::exists(xdg / "microsoft-edge/NativeMessagingHosts" / kManifestName));
    EXPECT_TRUE(fs::exists(home_ / ".mozilla/native-messaging-hosts" / kManifestName));
    ASSERT_EQ(Run({"uninstall"}, xdg.string()).exitCode, 0);
    EXPECT_FALSE(fs::exists(xdg / "chromium/NativeMessagingHosts" / kManifestName));
}

TEST_F(BrowserCommand, UserDataDirAndAMissingHost) {
    const fs::path profile = home_ / "profile";
    const auto installed =
        Run({"install", "--user-data-dir", profile.string(), "--host", "/nonexistent/host"});
    ASSERT_EQ(installed.exitCode, 0) << installed.err;
    EXPECT_NE(installed.err.find("does not exist"), std::string::npos);
    const fs::path file = profile / "NativeMessagingHosts" / kManifestName;
    EXPECT_EQ(ReadManifest(file)["path"], "/nonexistent/host");
    EXPECT_NE(Run({"status", "--user-data-dir", profile.string()}).out.find("(MISSING)"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(home_ / ".config"));  // nothing outside the profile
}

TEST_F(BrowserCommand, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"install", "--browser", "opera"},
        {"install", "--browser", "firefox", "--user-data-dir", "/tmp/p"},
        {"install", "--browser", "all", "--user-data-dir", "/tmp/p"},
        {"status", "--host", "x"},
        {"frobnicate"},
    };
    for (const auto& args : cases) {
        const auto result = Run(args);
        EXPECT_EQ(result.exitCode, 2) << ::testing::PrintToString(args) << result.err;
    }
}

}  // namespace
