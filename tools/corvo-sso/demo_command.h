// `corvo-sso demo` (what `make demo` runs): a quick login end to end against
// the bundled reference IM client, in private directories that are removed
// afterwards.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace corvo::cli {

// Runs the demo; 0 only when every step succeeded.
int RunDemo();

// `demo --browser [chromium|firefox]`: the quick login from a page in headless
// Chromium or Firefox through the extension and corvo-sso-host
// (browser/driver/demo_browser.py); writes demo-browser.png in the current
// directory. Says what to install when the browser is missing.
int RunBrowserDemo(const std::string& browser);

// Adds the `demo` subcommand.
void AddDemoCommand(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
