// `demo` and `browser` in the Windows build: not there yet (the demo's
// private registry and the browser's native-messaging host are still POSIX
// only; see docs/platforms.md). The subcommands exist so that the usage is
// the same on both systems; each one says so and exits 1.
#include <iostream>

#include "tools/corvo-sso/browser_command.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/demo_command.h"

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

int RunDemo() {
    return ReportError({kExitFailed, "the demo is not available in the Windows build yet"});
}

int RunBrowserDemo() {
    return RunDemo();
}

void AddDemoCommand(CLI::App& app, int& exitCode) {
    AddUnavailable(app, "demo", "A quick login end to end against the bundled reference IM client",
                   "start corvo-imclient.exe, then run `corvo-sso register`, `corvo-sso users` and "
                   "`corvo-sso login ID`",
                   exitCode);
}

void AddBrowserCommands(CLI::App& app, int& exitCode) {
    AddUnavailable(app, "browser",
                   "Install, remove or show the browser extension's native-messaging host",
                   "the native-messaging host is built for Linux only", exitCode);
}

}  // namespace corvo::cli
