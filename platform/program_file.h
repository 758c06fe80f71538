// The files of programs: the running program's own, and programs found by
// name as a shell finds them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace corvo::platform {

// What this system appends to a program's name to make its file name.
#ifdef _WIN32
inline constexpr char kProgramSuffix[] = ".exe";
#else
inline constexpr char kProgramSuffix[] = "";
#endif

// The file name of the program called `stem` on this system.
inline std::string ProgramFileName(std::string_view stem) {
    return std::string(stem) + kProgramSuffix;
}

// The running program's file, absolute; nothing when the system cannot say.
std::optional<std::filesystem::path> RunningProgramPath();

// True when `file` is a file this user can start as a program (POSIX: a
// regular file with execute permission; Windows: a regular file).
bool IsRunnableProgram(const std::filesystem::path& file);

// The program called `name` (its file name without kProgramSuffix) in the
// directories of PATH, as a shell would start it; nothing when there is none.
std::optional<std::filesystem::path> FindProgramOnPath(std::string_view name);

}  // namespace corvo::platform
