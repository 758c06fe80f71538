// corvo-sso-host: the native-messaging host of the Corvo SSO browser
// extension. The browser starts it for one connection of the extension, which
// the extension keeps open for all its calls; it answers each request with a
// new login control placed on the page the browser reported for that request
// (several at once, on a fixed pool of threads), and exits when standard input
// closes. See docs/browser.md.
#include <iostream>
#include <string_view>
#include <vector>

#include "browser_host_config.h"
#include "platform/binary_stdio.h"
#include "platform/command_line.h"
#include "tools/corvo-sso-host/caller_check.h"
#include "tools/corvo-sso-host/host_loop.h"
#include "tools/corvo-sso-host/request_handler.h"

int main(int argc, char** argv) {
    using namespace corvo::host;
    // The caller's identity as UTF-8 (on Windows from the wide command line).
    const std::vector<std::string> given = corvo::platform::Utf8Arguments(argc, argv);
    const std::vector<std::string_view> args(given.begin() + (given.empty() ? 0 : 1), given.end());
    if (!IsOurCaller(args)) {
        std::cerr << "corvo-sso-host: this is a native-messaging host; it serves only the "
                     "browser extension "
                  << corvo::browser_config::kExtensionOrigin
                  << " (Firefox: " << corvo::browser_config::kFirefoxAddonId
                  << "), which the browser names as its argument.\n"
                     "Install it for your browser with `corvo-sso browser install`.\n";
        return kHostExitRefused;
    }
    // The messages are bytes: no CR added before an LF, no end at a Ctrl-Z.
    if (!corvo::platform::SetBinaryStandardStreams()) {
        std::cerr << "corvo-sso-host: standard input and output cannot be switched to binary "
                     "mode\n";
        return kHostExitTruncated;
    }
    std::ios::sync_with_stdio(false);
    try {
        return ServeMessages(std::cin, std::cout, std::cerr, HandleRequest);
    } catch (const std::exception& e) {
        std::cerr << "corvo-sso-host: " << e.what() << "\n";
        return kHostExitTruncated;
    }
}
