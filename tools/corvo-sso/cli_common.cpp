#include "tools/corvo-sso/cli_common.h"

#include <cstdio>
#include <exception>
#include <iostream>

#include "platform/com/hresult_name.h"

namespace corvo::cli {

void Fail(std::string message) {
    throw CommandError{kExitFailed, std::move(message)};
}

void Usage(std::string message) {
    throw CommandError{kExitUsage, std::move(message)};
}

int ReportError(const CommandError& error) {
    std::cerr << "error: " << error.message << "\n";
    if (error.exitCode == kExitUsage) std::cerr << "Run with --help for more information.\n";
    return error.exitCode;
}

int ReportHResult(HRESULT hr, const std::string& detail) {
    std::cerr << "error: " << DescribeHResult(hr) << "\n";
    if (!detail.empty()) std::cerr << detail << "\n";
    return kExitFailed;
}

int RunGuarded(const std::function<int()>& run) {
    int exitCode = kExitFailed;
    try {
        exitCode = run();
    } catch (const CommandError& e) {
        exitCode = ReportError(e);
    } catch (const std::exception& e) {
        exitCode = ReportError({kExitFailed, e.what()});
    }
    std::cout.flush();
    std::fflush(stdout);
    return exitCode;
}

}  // namespace corvo::cli
