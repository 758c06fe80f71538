// `corvo-sso browser install|uninstall|status`: the per-user native-messaging
// host manifests that let the browser extension start corvo-sso-host.
//
// Where each browser looks is the system's (platform/browser_host_place.h):
// on Linux the manifest's directory, on Windows a registry key naming the
// manifest, written here as well. With --user-data-dir DIR (Linux only),
// DIR/NativeMessagingHosts/ of that Chromium profile directory. No
// administrator rights are needed anywhere.
#pragma once

#include <CLI/CLI.hpp>
#include <filesystem>
#include <string>
#include <vector>

namespace corvo::cli {

struct ManifestPlace {
    std::string browser;  // "chromium", "chrome", "edge", "firefox"
    std::filesystem::path file;
    // Windows: the key of HKEY_CURRENT_USER whose default value names the file.
    std::string registryKey;
};

// Where the manifests of `browser` ("all" for the four) go, for the current
// user or inside `userDataDir` (Chromium-family browsers only; a usage error
// otherwise).
std::vector<ManifestPlace> ManifestPlaces(const std::string& browser,
                                          const std::string& userDataDir);

// The manifest's text for `browser`, naming `hostPath` and allowing only our
// extension (Chromium family: its origin; Firefox: its add-on ID).
std::string ManifestText(const std::string& browser, const std::filesystem::path& hostPath);

// The host installed beside this program.
std::filesystem::path DefaultHostPath();

// Adds `browser` and its subcommands.
void AddBrowserCommands(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
