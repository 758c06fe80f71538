// corvo-imclient: the reference IM client. It keeps the client's side of the
// quick-login contract (docs/ipc.md) for the accounts named on its command
// line until it is asked to stop (SIGTERM or SIGINT; on Windows Ctrl+C,
// Ctrl+Break or the end of the console session), then removes everything it
// published.
//
// Exit codes: 0 stopped by a signal; 1 could not publish; 2 usage error.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "platform/binary_stdio.h"
#include "platform/command_line.h"
#include "platform/im_client_endpoint.h"
#include "platform/strict_utf8.h"
#include "tools/corvo-imclient/client_options.h"
#include "tools/corvo-imclient/im_client.h"

namespace corvo::imclient {
namespace {

std::u16string Utf16(const std::string& text, const char* what) {
    std::u16string out;
    if (!platform::StrictUtf8ToUtf16(text, out))
        throw CLI::ValidationError(what, "not valid UTF-8: " + text);
    return out;
}

// Written as a temporary file and renamed, so a reader sees all or nothing.
bool WriteReadyFile(const std::string& path) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        out << platform::CurrentProcessId() << "\n";
        if (!out.flush()) return false;
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

int Run(int argc, char** argv) {
    CLI::App app{"corvo-imclient: the reference IM client for quick logins"};
    // "/tmp/x" is a path on every system, never a "/option".
    app.allow_windows_style_options(false);
    ClientOptions options;
    std::vector<std::string> accounts, hangAccounts, noUserBlock;
    std::string directory, answerUrl, clientVersion = "9.1.0.2025";
    app.add_option("--account", accounts,
                   "Full user ID of a logged-in account (repeatable; the order is the order of "
                   "the user list)")
        ->required()
        ->allow_extra_args(false);
    app.add_option("--dir", directory,
                   "Endpoint directory (default: $CORVO_IM_DIR, $XDG_RUNTIME_DIR/corvo-im or "
                   "/tmp/corvo-im-UID)");
    app.add_option("--client-version", clientVersion,
                   "The client's version, written into every user document");
    app.add_option("--result", options.result, "The answer's result (1 means success)");
    app.add_option(
        "--answer-url", answerUrl,
        "The answer's realSSOUrl; \"{account}\" in it stands for the account (default: an "
        "https address on an allowed login host)");
    app.add_flag("--no-signal", options.noSignal, "Answer but never signal the completion event");
    app.add_option("--delay-ms", options.delayMs, "Wait this long before answering a request");
    app.add_flag("--hang", options.hangAll, "No window ever reads its socket");
    app.add_option("--hang-account", hangAccounts,
                   "Only this account's windows never read their sockets (repeatable)")
        ->allow_extra_args(false);
    app.add_flag("--plain-answer", options.plainAnswer, "Answer with bBase64Encoded 0");
    app.add_flag("--corrupt-answer", options.corruptAnswer,
                 "Answer with a block header no reader accepts");
    app.add_option("--no-user-block", noUserBlock,
                   "Publish this account's windows without its user block (repeatable)")
        ->allow_extra_args(false);
    app.add_flag("--print-requests", options.printRequests,
                 "Print each request (line, message bytes, document) on standard output");
    app.add_option("--ready-file", options.readyFile,
                   "Write this file (holding the process ID) once everything is published");
    try {
        // The arguments as UTF-8, as on Linux (not through the ANSI code page).
        std::vector<std::string> args = platform::Utf8Arguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& arg : args) pointers.push_back(arg.data());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
        for (const auto& a : accounts) options.accounts.push_back(Utf16(a, "--account"));
        for (const auto& a : hangAccounts) options.hangAccounts.insert(Utf16(a, "--hang-account"));
        for (const auto& a : noUserBlock) options.noUserBlock.insert(Utf16(a, "--no-user-block"));
        options.clientVersion = Utf16(clientVersion, "--client-version");
        options.answerUrl =
            answerUrl.empty() ? DefaultAnswerUrl() : Utf16(answerUrl, "--answer-url");
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    // Before any window's thread starts.
    platform::InterceptStopRequests();

    const std::string readyFile = options.readyFile;
    ImClient client(std::move(options));
    std::string error;
    if (!client.Start(directory, &error)) {
        std::cerr << "corvo-imclient: error: " << error << "\n";
        return 1;
    }
    if (!readyFile.empty() && !WriteReadyFile(readyFile)) {
        std::cerr << "corvo-imclient: error: cannot write the ready file " << readyFile << "\n";
        return 1;
    }
    platform::WaitForStopRequest();
    client.Stop();
    return 0;
}

}  // namespace
}  // namespace corvo::imclient

int main(int argc, char** argv) {
    // The records are LF-terminated on every system.
    corvo::platform::SetBinaryStandardStreams();
    try {
        return corvo::imclient::Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "corvo-imclient: error: " << e.what() << "\n";
        return 1;
    }
}
