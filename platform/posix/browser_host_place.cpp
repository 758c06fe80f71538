#include "platform/browser_host_place.h"

#include <cstdlib>

namespace corvo::platform {

bool FindBrowserHostPlace(std::string_view browser, std::string_view hostName,
                          BrowserHostPlace* place, std::string* error) {
    const char* home = std::getenv("HOME");
    if (!home || !*home) {
        *error = "HOME is not set: cannot find the per-user manifest directories";
        return false;
    }
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::filesystem::path config =
        xdg && *xdg == '/' ? std::filesystem::path(xdg) : std::filesystem::path(home) / ".config";
    std::filesystem::path directory;
    if (browser == "firefox")
        directory = std::filesystem::path(home) / ".mozilla" / "native-messaging-hosts";
    else if (browser == "chromium")
        directory = config / "chromium" / "NativeMessagingHosts";
    else if (browser == "chrome")
        directory = config / "google-chrome" / "NativeMessagingHosts";
    else if (browser == "edge")
        directory = config / "microsoft-edge" / "NativeMessagingHosts";
    else {
        *error = "unknown browser \"" + std::string(browser) + "\"";
        return false;
    }
    place->manifest = directory / (std::string(hostName) + ".json");
    place->registryKey.clear();
    return true;
}

bool BrowsersReadProfileManifests() {
    return true;
}

}  // namespace corvo::platform
