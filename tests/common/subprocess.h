// Running a built program from a test as a user runs it: no shell, the
// arguments as given, standard input from a string, standard output and error
// captured, the exit code. Safe to call from several threads at once.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace corvo::test {

struct ProgramOptions {
    std::string input;  // standard input
    // Variables set (or replaced) in the program's environment; the rest is
    // the test process's own.
    std::vector<std::pair<std::string, std::string>> environment;
    std::string directory;  // the working directory; the test's own when empty
};

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not start or did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args` to its end.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProgramOptions& options = {});

// Where a started program reads and writes; files opened by the child.
struct ProgramFiles {
    std::string in = "/dev/null";
    std::string out;  // created or truncated
    std::string err;
};

// Runs the command-line tool built at `builtPath`, or, when CORVO_TOOL_EXE is
// set, that program instead (started through CORVO_TOOL_EMULATOR when that is
// set too): the same tool tests then check another build of the tool, such as
// corvo-sso.exe under wine64.
ProgramResult RunTool(const std::string& builtPath, const std::vector<std::string>& args,
                      const ProgramOptions& options = {});

// False when RunTool starts another build named by CORVO_TOOL_EXE: a Windows
// program's arguments are UTF-16 text, so bytes that are not UTF-8 cannot
// reach it as they are.
bool ToolTakesArgumentBytes();

// Starts `program` with `args`; its pid, or -1 when it could not be started.
pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args,
                   const ProgramFiles& files, const ProgramOptions& options = {});

// Waits for `pid` to end; its exit code, -1 when it did not exit normally.
int WaitForExit(pid_t pid);

// The whole content of a file ("" when it cannot be read).
std::string ReadFileBytes(const std::string& path);

}  // namespace corvo::test
