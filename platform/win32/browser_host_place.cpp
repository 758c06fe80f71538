#include "platform/browser_host_place.h"

#include <windows.h>

#include <string>

#include "platform/com/ole_text.h"

namespace corvo::platform {
namespace {

// An environment variable as a path; empty when it is not set.
std::filesystem::path EnvironmentPath(const wchar_t* name) {
    std::u16string value(MAX_PATH, u'\0');
    for (;;) {
        const DWORD n = ::GetEnvironmentVariableW(name, AsOleText(value.data()),
                                                  static_cast<DWORD>(value.size()));
        if (n == 0) return {};
        if (n < value.size()) {
            value.resize(n);
            return std::filesystem::path(value);
        }
        value.assign(n, u'\0');
    }
}

}  // namespace

bool FindBrowserHostPlace(std::string_view browser, std::string_view hostName,
                          BrowserHostPlace* place, std::string* error) {
    const char* vendorKey = browser == "chromium"  ? "Software\\Chromium"
                            : browser == "chrome"  ? "Software\\Google\\Chrome"
                            : browser == "edge"    ? "Software\\Microsoft\\Edge"
                            : browser == "firefox" ? "Software\\Mozilla"
                                                   : nullptr;
    if (!vendorKey) {
        *error = "unknown browser \"" + std::string(browser) + "\"";
        return false;
    }
    const std::filesystem::path local = EnvironmentPath(L"LOCALAPPDATA");
    if (local.empty() || !local.is_absolute()) {
        *error = "LOCALAPPDATA is not set: cannot find the per-user application data directory";
        return false;
    }
    place->manifest = local / "CorvoSSO" / "NativeMessagingHosts" / std::string(browser) /
                      (std::string(hostName) + ".json");
    place->registryKey =
        std::string(vendorKey) + "\\NativeMessagingHosts\\" + std::string(hostName);
    return true;
}

bool BrowsersReadProfileManifests() {
    return false;
}

}  // namespace corvo::platform
