// The quick-login subcommands of corvo-sso: `users`, `login` and
// `client-version`, each calling the control by name through IDispatch
// exactly as a page's script does. The demo uses the same calls.
#pragma once

#include <CLI/CLI.hpp>
#include <array>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"
#include "tools/corvo-sso/login_session.h"

namespace corvo::cli {

// A readable table of the accounts ("(no accounts)" when empty).
void PrintUserTable(std::ostream& out, const std::vector<UserEntry>& users);

// Reports a failed call on standard error; returns exit code 1.
int ReportFailure(const char* what, HRESULT hr, const std::string& message = {});

// Adds `users`, `login`, `client-version` and `demo`. Page options come from
// the app's --page and --zone.
void AddLoginCommands(CLI::App& app, int& exitCode);

}  // namespace corvo::cli
