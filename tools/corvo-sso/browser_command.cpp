#include "tools/corvo-sso/browser_command.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>

#include "browser_host_config.h"
#include "tools/corvo-sso/cli_common.h"

namespace corvo::cli {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr const char* kBrowsers[] = {"chromium", "chrome", "edge", "firefox"};

fs::path HomeDirectory() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) Fail("HOME is not set: cannot find the per-user manifest directories");
    return home;
}

fs::path ConfigDirectory() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/') return xdg;
    return HomeDirectory() / ".config";
}

fs::path ManifestFileIn(const fs::path& directory) {
    return directory / (std::string(browser_config::kNativeHostName) + ".json");
}

fs::path ManifestFileFor(const std::string& browser) {
    if (browser == "firefox")
        return ManifestFileIn(HomeDirectory() / ".mozilla" / "native-messaging-hosts");
    const char* profile = browser == "chromium" ? "chromium"
                          : browser == "chrome" ? "google-chrome"
                                                : "microsoft-edge";
    return ManifestFileIn(ConfigDirectory() / profile / "NativeMessagingHosts");
}

// The manifest's "path", or empty when the file is missing or unreadable.
std::string ManifestHost(const fs::path& file) {
    std::ifstream in(file);
    if (!in) return {};
    const Json json = Json::parse(in, nullptr, false);
    if (json.is_discarded() || !json.is_object() || !json.contains("path") ||
        !json["path"].is_string())
        return {};
    return json["path"].get<std::string>();
}

// Writes `text` to `file` through a temporary file beside it and a rename.
void WriteFileAtomically(const fs::path& file, const std::string& text) {
    std::error_code error;
    fs::create_directories(file.parent_path(), error);
    if (error) Fail("cannot create " + file.parent_path().string() + ": " + error.message());
    const fs::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) Fail("cannot write " + temp.string());
    }
    fs::rename(temp, file, error);
    if (error) {
        fs::remove(temp, error);
        Fail("cannot write " + file.string());
    }
}

struct BrowserArgs {
    std::string browser;
    std::string userDataDir;
    std::string host;
};

std::vector<ManifestPlace> Places(const BrowserArgs& args) {
    std::string browser = args.browser;
    if (browser.empty()) browser = args.userDataDir.empty() ? "all" : "chromium";
    return ManifestPlaces(browser, args.userDataDir);
}

int RunInstall(const BrowserArgs& args) {
    fs::path host = args.host.empty() ? DefaultHostPath() : fs::absolute(args.host);
    host = host.lexically_normal();
    std::error_code error;
    if (!fs::is_regular_file(host, error))
        std::cerr << "warning: the host " << host.string() << " does not exist (yet)\n";
    for (const ManifestPlace& place : Places(args)) {
        WriteFileAtomically(place.file, ManifestText(place.browser, host));
        std::cout << "installed " << place.browser << ": " << place.file.string() << " (host "
                  << host.string() << ")\n";
    }
    return kExitOk;
}

int RunUninstall(const BrowserArgs& args) {
    for (const ManifestPlace& place : Places(args)) {
        std::error_code error;
        const bool removed = fs::remove(place.file, error);
        if (error) Fail("cannot remove " + place.file.string() + ": " + error.message());
        std::cout << (removed ? "removed " : "not installed ") << place.browser << ": "
                  << place.file.string() << "\n";
    }
    return kExitOk;
}

int RunStatus(const BrowserArgs& args) {
    std::cout << "extension ID: " << browser_config::kExtensionId << " (origin "
              << browser_config::kExtensionOrigin << ")\n"
              << "Firefox add-on ID: " << browser_config::kFirefoxAddonId << "\n"
              << "host name: " << browser_config::kNativeHostName << "\n";
    for (const ManifestPlace& place : Places(args)) {
        std::error_code error;
        std::cout << place.browser << ": " << place.file.string() << ": ";
        if (!fs::exists(place.file, error)) {
            std::cout << "not installed\n";
            continue;
        }
        const std::string host = ManifestHost(place.file);
        if (host.empty()) {
            std::cout << "installed, but the manifest cannot be read\n";
            continue;
        }
        const bool present = ::access(host.c_str(), X_OK) == 0;
        std::cout << "installed, host " << host << (present ? " (exists)" : " (MISSING)") << "\n";
    }
    return kExitOk;
}

}  // namespace

std::vector<ManifestPlace> ManifestPlaces(const std::string& browser,
                                          const std::string& userDataDir) {
    std::vector<std::string> browsers;
    if (browser == "all")
        browsers.assign(std::begin(kBrowsers), std::end(kBrowsers));
    else
        browsers.push_back(browser);
    std::vector<ManifestPlace> places;
    for (const std::string& name : browsers) {
        if (!userDataDir.empty()) {
            if (name == "firefox" || browsers.size() > 1)
                Usage(
                    "--user-data-dir names one Chromium, Chrome or Edge profile directory: "
                    "give --browser chromium, chrome or edge with it");
            places.push_back(
                {name, ManifestFileIn(fs::absolute(userDataDir) / "NativeMessagingHosts")});
        } else {
            places.push_back({name, ManifestFileFor(name)});
        }
    }
    return places;
}

std::string ManifestText(const std::string& browser, const fs::path& hostPath) {
    Json manifest = Json::object();
    manifest["name"] = browser_config::kNativeHostName;
    manifest["description"] = "Corvo SSO quick login: the login control for the browser extension";
    manifest["path"] = hostPath.string();
    manifest["type"] = "stdio";
    if (browser == "firefox")
        manifest["allowed_extensions"] = Json::array({browser_config::kFirefoxAddonId});
    else
        manifest["allowed_origins"] = Json::array({browser_config::kExtensionOrigin});
    return manifest.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

fs::path DefaultHostPath() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    return (error ? fs::current_path() : program.parent_path()) / "corvo-sso-host";
}

void AddBrowserCommands(CLI::App& app, int& exitCode) {
    auto* browser = app.add_subcommand(
        "browser", "Install, remove or show the browser extension's native-messaging host");
    browser->require_subcommand(1);
    auto args = std::make_shared<BrowserArgs>();
    auto addOptions = [args](CLI::App* command) {
        command
            ->add_option("--browser", args->browser,
                         "chromium, chrome, edge, firefox or all (default: all; chromium with "
                         "--user-data-dir)")
            ->check(CLI::IsMember({"chromium", "chrome", "edge", "firefox", "all"}));
        command->add_option("--user-data-dir", args->userDataDir,
                            "A Chromium-family profile directory (its NativeMessagingHosts/)");
    };
    auto* install = browser->add_subcommand(
        "install", "Write the host manifests for the current user, naming corvo-sso-host");
    addOptions(install);
    install->add_option("--host", args->host,
                        "The host program (default: corvo-sso-host beside this program)");
    install->callback(
        [&exitCode, args] { exitCode = RunGuarded([&] { return RunInstall(*args); }); });
    auto* uninstall = browser->add_subcommand("uninstall", "Remove the host manifests");
    addOptions(uninstall);
    uninstall->callback(
        [&exitCode, args] { exitCode = RunGuarded([&] { return RunUninstall(*args); }); });
    auto* status = browser->add_subcommand(
        "status", "Show the extension ID, where each manifest is and whether its host exists");
    addOptions(status);
    status->callback(
        [&exitCode, args] { exitCode = RunGuarded([&] { return RunStatus(*args); }); });
}

}  // namespace corvo::cli
