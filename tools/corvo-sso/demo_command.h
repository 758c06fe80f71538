// `corvo-sso demo` (what `make demo` runs): a quick login end to end against
// the bundled reference IM client, in private directories that are removed
// afterwards.
#pragma once

#include <CLI/CLI.hpp>

namespace corvo::cli {

// Runs the demo; 0 only when every step succeeded.
int RunDemo();

// `demo --browser`: the quick login from a page in headless Chromium through
// the extension and corvo-sso-host (browser/driver/demo_browser.py); writes
// demo-browser.png in the current directory. Says what to install when
// Chromium is missing.
int RunBrowserDemo();

// Adds the `demo` subcommand.
void AddDemoCommand(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
