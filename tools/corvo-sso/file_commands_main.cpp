// corvo-sso for Windows, this step: the subcommands that work on files and
// standard input without hosting the control (xml, block, doc). Their output
// is byte for byte the Linux tool's: both standard streams are binary, so no
// CR is added and no Ctrl-Z ends the input.
#include <CLI/CLI.hpp>
#include <exception>
#include <iostream>

#include "platform/binary_stdio.h"
#include "tools/corvo-sso/block_command.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/xml_command.h"

namespace corvo::cli {
namespace {

int Run(int argc, char** argv) {
    if (!platform::SetBinaryStandardStreams()) {
        std::cerr << "error: standard input and output cannot be switched to binary mode\n";
        return kExitFailed;
    }
    CLI::App app{"corvo-sso: the exchange documents, blocks and XML trees from the command line"};
    app.require_subcommand(1);
    // Arguments mean the same as on Linux: "/tmp/x" is a path, not a "/option"
    // (CLI11's default on Windows). Subcommands added later inherit this.
    app.allow_windows_style_options(false);
    int exit_code = kExitOk;
    AddXmlCommand(app, exit_code);
    AddBlockCommands(app, exit_code);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitOk : kExitUsage;
    } catch (const CommandError& e) {
        return ReportError(e);
    }
    return exit_code;
}

}  // namespace
}  // namespace corvo::cli

int main(int argc, char** argv) {
    try {
        return corvo::cli::Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "error: " << e.what() << "\n";
        return corvo::cli::kExitFailed;
    }
}
