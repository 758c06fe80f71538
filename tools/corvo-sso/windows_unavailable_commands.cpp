// `browser` in the Windows build: not there yet (the native-messaging host
// is still POSIX only; see docs/platforms.md). The subcommand exists so that
// the usage is the same on both systems; it says so and exits 1.
#include <iostream>

#include "tools/corvo-sso/browser_command.h"
#include "tools/corvo-sso/cli_common.h"

namespace corvo::cli {
namespace {

void AddUnavailable(CLI::App& app, const char* name, const char* help, const char* why,
                    int& exitCode) {
    auto* command = app.add_subcommand(name, help);
    command->allow_extras();
    command->callback([&exitCode, name, why] {
        exitCode =
            ReportError({kExitFailed, std::string("`") + name +
                                          "` is not available in the Windows build yet: " + why});
    });
}

}  // namespace

void AddBrowserCommands(CLI::App& app, int& exitCode) {
    AddUnavailable(app, "browser",
                   "Install, remove or show the browser extension's native-messaging host",
                   "the native-messaging host is built for Linux only", exitCode);
}

}  // namespace corvo::cli
