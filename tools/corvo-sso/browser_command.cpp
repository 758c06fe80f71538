#include "tools/corvo-sso/browser_command.h"

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <system_error>

#include "browser_host_config.h"
#include "platform/browser_host_place.h"
#include "platform/com/hresult_name.h"
#include "platform/path_text.h"
#include "platform/program_file.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/cli_common.h"

namespace corvo::cli {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

constexpr const char* kBrowsers[] = {"chromium", "chrome", "edge", "firefox"};

fs::path ManifestFileIn(const fs::path& directory) {
    return directory / (std::string(browser_config::kNativeHostName) + ".json");
}

// How the registry is named in messages: "HKEY_CURRENT_USER\<key>".
std::string RegistryName(const std::string& key) {
    return platform::RegistryStore::DefaultPath() + "\\" + key;
}

// The manifest the registry key names ("" when the key or its value is missing).
std::string RegisteredManifest(const std::string& key) {
    std::string file;
    const HRESULT hr = platform::RegistryStore().Read(
        [&](const platform::RegistryTree& tree) { return tree.GetValue(key, "", &file); });
    return SUCCEEDED(hr) ? file : std::string();
}

// The manifest's "path", or empty when the file is missing or unreadable.
std::string ManifestHost(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
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
    if (error)
        Fail("cannot create " + platform::PathToUtf8(file.parent_path()) + ": " + error.message());
    fs::path temp = file;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) Fail("cannot write " + platform::PathToUtf8(temp));
    }
    fs::rename(temp, file, error);
    if (error) {
        fs::remove(temp, error);
        Fail("cannot write " + platform::PathToUtf8(file));
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
    fs::path host =
        args.host.empty() ? DefaultHostPath() : fs::absolute(platform::PathFromUtf8(args.host));
    host = host.lexically_normal();
    const std::string hostText = platform::PathToUtf8(host);
    if (!platform::IsRunnableProgram(host))
        std::cerr << "warning: the host " << hostText << " does not exist (yet)\n";
    for (const ManifestPlace& place : Places(args)) {
        WriteFileAtomically(place.file, ManifestText(place.browser, host));
        const std::string file = platform::PathToUtf8(place.file);
        std::cout << "installed " << place.browser << ": " << file << " (host " << hostText
                  << ")\n";
        if (place.registryKey.empty()) continue;
        std::string message;
        const HRESULT hr = platform::RegistryStore().Update(
            [&](platform::RegistryTree& tree) {
                HRESULT result = tree.CreateKey(place.registryKey);
                if (SUCCEEDED(result)) result = tree.SetValue(place.registryKey, "", file);
                return result;
            },
            &message);
        if (FAILED(hr))
            Fail("cannot write " + RegistryName(place.registryKey) + ": " +
                 (message.empty() ? DescribeHResult(hr) : message));
        std::cout << "  named by " << RegistryName(place.registryKey) << "\n";
    }
    return kExitOk;
}

int RunUninstall(const BrowserArgs& args) {
    for (const ManifestPlace& place : Places(args)) {
        bool removed = false;
        if (!place.registryKey.empty()) {
            const HRESULT hr = platform::RegistryStore().Update(
                [&](platform::RegistryTree& tree) { return tree.DeleteKey(place.registryKey); });
            if (SUCCEEDED(hr))
                removed = true;
            else if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
                Fail("cannot remove " + RegistryName(place.registryKey) + ": " +
                     DescribeHResult(hr));
        }
        std::error_code error;
        removed = fs::remove(place.file, error) || removed;
        if (error)
            Fail("cannot remove " + platform::PathToUtf8(place.file) + ": " + error.message());
        std::cout << (removed ? "removed " : "not installed ") << place.browser << ": "
                  << platform::PathToUtf8(place.file) << "\n";
    }
    return kExitOk;
}

int RunStatus(const BrowserArgs& args) {
    std::cout << "extension ID: " << browser_config::kExtensionId << " (origin "
              << browser_config::kExtensionOrigin << ")\n"
              << "Firefox add-on ID: " << browser_config::kFirefoxAddonId << "\n"
              << "host name: " << browser_config::kNativeHostName << "\n";
    for (const ManifestPlace& place : Places(args)) {
        fs::path file = place.file;
        std::cout << place.browser << ": ";
        if (!place.registryKey.empty()) {
            // The browser reads whatever file the key names.
            const std::string named = RegisteredManifest(place.registryKey);
            std::cout << RegistryName(place.registryKey) << ": ";
            if (named.empty()) {
                std::cout << "not installed\n";
                continue;
            }
            file = platform::PathFromUtf8(named);
        }
        std::error_code error;
        std::cout << platform::PathToUtf8(file) << ": ";
        if (!fs::exists(file, error)) {
            std::cout << (place.registryKey.empty() ? "not installed\n"
                                                    : "named, but the manifest is MISSING\n");
            continue;
        }
        const std::string host = ManifestHost(file);
        if (host.empty()) {
            std::cout << "installed, but the manifest cannot be read\n";
            continue;
        }
        // A relative "path" is relative to the manifest's directory (Windows).
        const fs::path hostPath = file.parent_path() / platform::PathFromUtf8(host);
        const bool present = platform::IsRunnableProgram(hostPath);
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
            if (!platform::BrowsersReadProfileManifests())
                Usage(
                    "--user-data-dir: browsers on this system find native-messaging hosts "
                    "through the registry only, not in a profile directory");
            if (name == "firefox" || browsers.size() > 1)
                Usage(
                    "--user-data-dir names one Chromium, Chrome or Edge profile directory: "
                    "give --browser chromium, chrome or edge with it");
            places.push_back({name,
                              ManifestFileIn(fs::absolute(platform::PathFromUtf8(userDataDir)) /
                                             "NativeMessagingHosts"),
                              {}});
            continue;
        }
        platform::BrowserHostPlace place;
        std::string error;
        if (!platform::FindBrowserHostPlace(name, browser_config::kNativeHostName, &place, &error))
            Fail(error);
        places.push_back({name, place.manifest, place.registryKey});
    }
    return places;
}

std::string ManifestText(const std::string& browser, const fs::path& hostPath) {
    Json manifest = Json::object();
    manifest["name"] = browser_config::kNativeHostName;
    manifest["description"] = "Corvo SSO quick login: the login control for the browser extension";
    manifest["path"] = platform::PathToUtf8(hostPath);
    manifest["type"] = "stdio";
    if (browser == "firefox")
        manifest["allowed_extensions"] = Json::array({browser_config::kFirefoxAddonId});
    else
        manifest["allowed_origins"] = Json::array({browser_config::kExtensionOrigin});
    return manifest.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

fs::path DefaultHostPath() {
    const auto program = platform::RunningProgramPath();
    return (program ? program->parent_path() : fs::current_path()) /
           platform::ProgramFileName("corvo-sso-host");
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
