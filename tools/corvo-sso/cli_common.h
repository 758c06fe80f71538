// Exit codes and error reporting shared by the corvo-sso subcommands.
//
// Exit codes: 0 success; 1 the operation failed; 2 usage error (bad
// arguments or input the command cannot take).
#pragma once

#include <functional>
#include <string>

#include "platform/com/com.h"

namespace corvo::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// A failure of the operation or of the command line: the message and the
// exit code it ends with.
struct CommandError {
    int exitCode;
    std::string message;
};

// Throw a CommandError: the operation failed (exit 1) / bad usage (exit 2).
[[noreturn]] void Fail(std::string message);
[[noreturn]] void Usage(std::string message);

// Prints "error: MESSAGE" on standard error, followed for a usage error by
// where to find help; returns the error's exit code.
int ReportError(const CommandError& error);

// Prints "error: NAME (0x........)" and, when not empty, `detail` on the next
// line; returns kExitFailed.
int ReportHResult(HRESULT hr, const std::string& detail = {});

// Runs one subcommand: its exit code, or that of the CommandError it throws
// (reported), or kExitFailed for any other exception (reported). Standard
// output is flushed either way.
int RunGuarded(const std::function<int()>& run);

}  // namespace corvo::cli
