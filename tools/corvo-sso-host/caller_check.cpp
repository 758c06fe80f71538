#include "tools/corvo-sso-host/caller_check.h"

#include "browser_host_config.h"

namespace corvo::host {

bool IsOurCaller(const std::vector<std::string_view>& args) {
    if (args.empty()) return false;
    if (args[0] == browser_config::kExtensionOrigin) return true;
    if (args[0] == browser_config::kFirefoxAddonId) return true;
    return args.size() >= 2 && args[1] == browser_config::kFirefoxAddonId;
}

}  // namespace corvo::host
