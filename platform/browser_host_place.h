// Where a browser of this system looks for the current user's manifest of a
// native-messaging host, and how it is pointed at the file.
//
// Linux: by the file's place alone. Chromium ~/.config/chromium/
// NativeMessagingHosts/, Chrome ~/.config/google-chrome/..., Edge
// ~/.config/microsoft-edge/... ($XDG_CONFIG_HOME instead of ~/.config when it
// is set), Firefox ~/.mozilla/native-messaging-hosts/; the file is
// <host name>.json.
//
// Windows: by a registry key of HKEY_CURRENT_USER whose default value is the
// manifest's full path: Software\Google\Chrome\NativeMessagingHosts\<name>,
// Software\Chromium\..., Software\Microsoft\Edge\..., Software\Mozilla\...
// The file can be anywhere; ours go to
// %LOCALAPPDATA%\CorvoSSO\NativeMessagingHosts\<browser>\<name>.json, one per
// browser since Firefox's manifest differs from the others'.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvo::platform {

struct BrowserHostPlace {
    std::filesystem::path manifest;
    // The key below HKEY_CURRENT_USER that names the manifest, or "" where the
    // browser finds it by its directory.
    std::string registryKey;
};

// The place for `browser` ("chromium", "chrome", "edge" or "firefox") and the
// host `hostName`. False with `error` set when the user's directories are not
// known (no HOME; no LOCALAPPDATA) or the browser is none of these.
bool FindBrowserHostPlace(std::string_view browser, std::string_view hostName,
                          BrowserHostPlace* place, std::string* error);

// True when a Chromium-family browser started with --user-data-dir DIR reads
// manifests from DIR/NativeMessagingHosts/ (Linux); on Windows it reads the
// registry only.
bool BrowsersReadProfileManifests();

}  // namespace corvo::platform
