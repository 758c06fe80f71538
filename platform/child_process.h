// ChildProcess: RAII holder of a program this process started. The holder
// that goes away with the child still running stops it (see Stop) and
// collects it, so no child outlives its owner unnoticed.
//
// The program's arguments are UTF-8; on Windows they become one UTF-16
// command line, quoted so that the child's CommandLineToArgvW (and the C
// runtime) hand back exactly these arguments (windows_command_line.h). The
// child inherits this process's environment, standard streams and current
// directory.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvo::platform {

class ChildProcess {
  public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();

    // Starts `program` (a path; a bare name is not searched for, see
    // FindProgramOnPath) with `args` after the program's own name. False
    // when it cannot be started, with `error` (when given) saying why. The
    // holder must be empty.
    bool Start(const std::filesystem::path& program, const std::vector<std::string>& args,
               std::string* error = nullptr);

    // True from a successful Start until the child's end has been collected.
    bool running() const { return running_; }

    // The exit code once the child has ended (collecting it), nothing while
    // it runs; never blocks. An ended child that did not exit normally (a
    // signal) reads as -1.
    std::optional<int> Poll();

    // Waits for the end; the exit code as Poll gives it, -1 for no child.
    int Wait();

    // How Stop ended the child.
    enum class StopOutcome {
        kExitedOnRequest,  // it ended on the request, with exit code 0
        kFailed,           // it exited otherwise, or had to be ended by force
        kEnded,            // it could not be asked (see Stop) and was ended by force
        kNoChild,
    };

    // Asks the child to stop as a user at its console would, waits up to
    // `grace` and then ends it by force. POSIX: SIGTERM, then SIGKILL.
    // Windows: Ctrl+Break to the child's own process group, which needs a
    // console this process shares with it (a program started without one,
    // as under Wine from a script, cannot ask), then TerminateProcess; the
    // system removes the child's windows and kernel objects either way.
    StopOutcome Stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

  private:
    bool running_ = false;
    // The process: its pid on POSIX; on Windows the process handle and ID.
    std::intptr_t process_ = 0;
    std::uint32_t id_ = 0;
};

}  // namespace corvo::platform
