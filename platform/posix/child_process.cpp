#include "platform/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace corvo::platform {
namespace {

// The exit code of a collected wait status; -1 for a child ended by a signal.
int ExitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

bool ChildProcess::Start(const std::filesystem::path& program, const std::vector<std::string>& args,
                         std::string* error) {
    if (running_) {
        if (error) *error = "a child is already running";
        return false;
    }
    std::string name = program.string();
    std::vector<std::string> copies(args);
    std::vector<char*> argv;
    argv.push_back(name.data());
    for (auto& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failure = ::posix_spawn(&pid, name.c_str(), nullptr, nullptr, argv.data(), environ);
    if (failure != 0) {
        if (error) *error = std::strerror(failure);
        return false;
    }
    running_ = true;
    process_ = pid;
    id_ = static_cast<std::uint32_t>(pid);
    return true;
}

std::optional<int> ChildProcess::Poll() {
    if (!running_) return std::nullopt;
    int status = 0;
    const pid_t pid = static_cast<pid_t>(process_);
    pid_t got;
    while ((got = ::waitpid(pid, &status, WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == 0) return std::nullopt;
    running_ = false;
    return got == pid ? ExitCodeOf(status) : -1;
}

int ChildProcess::Wait() {
    if (!running_) return -1;
    int status = 0;
    pid_t got;
    while ((got = ::waitpid(static_cast<pid_t>(process_), &status, 0)) < 0 && errno == EINTR) {
    }
    running_ = false;
    return got < 0 ? -1 : ExitCodeOf(status);
}

ChildProcess::StopOutcome ChildProcess::Stop(std::chrono::milliseconds grace) {
    if (!running_) return StopOutcome::kNoChild;
    ::kill(static_cast<pid_t>(process_), SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + grace;
    for (;;) {
        if (const auto code = Poll())
            return *code == 0 ? StopOutcome::kExitedOnRequest : StopOutcome::kFailed;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(static_cast<pid_t>(process_), SIGKILL);
    Wait();
    return StopOutcome::kFailed;
}

}  // namespace corvo::platform
