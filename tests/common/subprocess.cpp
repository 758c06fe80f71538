#include "tests/common/subprocess.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

extern char** environ;

namespace corvo::test {
namespace {

namespace fs = std::filesystem;

// The test process's environment with `changes` applied, as "NAME=value".
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        bool replaced = false;
        for (const auto& [name, value] : changes)
            replaced = replaced || (entry.starts_with(name) && entry.size() > name.size() &&
                                    entry[name.size()] == '=');
        if (!replaced) entries.emplace_back(entry);
    }
    for (const auto& [name, value] : changes) entries.push_back(name + "=" + value);
    return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

// A fresh private directory, removed with its content.
class RunDirectory {
  public:
    RunDirectory() {
        std::string pattern = (fs::temp_directory_path() / "corvo-test-run-XXXXXX").string();
        if (::mkdtemp(pattern.data())) path_ = pattern;
    }
    ~RunDirectory() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    RunDirectory(const RunDirectory&) = delete;
    RunDirectory& operator=(const RunDirectory&) = delete;
    bool ok() const { return !path_.empty(); }
    std::string File(const char* name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

// posix_spawn file actions, destroyed with the holder.
class FileActions {
  public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

  private:
    posix_spawn_file_actions_t actions_;
};

}  // namespace

pid_t SpawnProgram(const std::string& program, const std::vector<std::string>& args,
                   const ProgramFiles& files, const ProgramOptions& options) {
    FileActions actions;
    if (!options.directory.empty() &&
        posix_spawn_file_actions_addchdir_np(actions.get(), options.directory.c_str()) != 0)
        return -1;
    // The paths are opened after the directory change: make them absolute.
    const auto absolute = [](const std::string& path) { return fs::absolute(path).string(); };
    const std::string in = absolute(files.in), out = absolute(files.out), err = absolute(files.err);
    if (posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, in.c_str(), O_RDONLY, 0) ||
        posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, out.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600) ||
        posix_spawn_file_actions_addopen(actions.get(), STDERR_FILENO, err.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600))
        return -1;
    std::vector<std::string> argStrings{program};
    argStrings.insert(argStrings.end(), args.begin(), args.end());
    std::vector<std::string> envStrings = ChildEnvironment(options.environment);
    std::vector<char*> argv = Pointers(argStrings), envp = Pointers(envStrings);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), actions.get(), nullptr, argv.data(), envp.data()) != 0)
        return -1;
    return pid;
}

int WaitForExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const ProgramOptions& options) {
    ProgramResult result;
    RunDirectory dir;
    if (!dir.ok()) return result;
    ProgramFiles files{dir.File("in"), dir.File("out"), dir.File("err")};
    std::ofstream(files.in, std::ios::binary)
        .write(options.input.data(), std::streamsize(options.input.size()));
    const pid_t pid = SpawnProgram(program, args, files, options);
    if (pid > 0) result.exitCode = WaitForExit(pid);
    result.out = ReadFileBytes(files.out);
    result.err = ReadFileBytes(files.err);
    return result;
}

ProgramResult RunTool(const std::string& builtPath, const std::vector<std::string>& args,
                      const ProgramOptions& options) {
    const char* exe = std::getenv("CORVO_TOOL_EXE");
    if (exe == nullptr || *exe == '\0') return RunProgram(builtPath, args, options);
    const char* emulator = std::getenv("CORVO_TOOL_EMULATOR");
    if (emulator == nullptr || *emulator == '\0') return RunProgram(exe, args, options);
    std::vector<std::string> emulated{exe};
    emulated.insert(emulated.end(), args.begin(), args.end());
    return RunProgram(emulator, emulated, options);
}

bool ToolTakesArgumentBytes() {
    const char* exe = std::getenv("CORVO_TOOL_EXE");
    return exe == nullptr || *exe == '\0';
}

}  // namespace corvo::test
