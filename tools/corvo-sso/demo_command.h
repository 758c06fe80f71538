// `corvo-sso demo` (what `make demo` runs): a quick login end to end against
// the bundled reference IM client, in private directories that are removed
// afterwards.
#pragma once

#include <CLI/CLI.hpp>

namespace corvo::cli {

// Runs the demo; 0 only when every step succeeded.
int RunDemo();

// Adds the `demo` subcommand.
void AddDemoCommand(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
