#include "platform/program_file.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace corvo::platform {

std::optional<std::filesystem::path> RunningProgramPath() {
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::nullopt;
    return self;
}

bool IsRunnableProgram(const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0;
}

std::optional<std::filesystem::path> FindProgramOnPath(std::string_view name) {
    if (name.empty() || name.find('/') != std::string_view::npos) return std::nullopt;
    const char* path = std::getenv("PATH");
    std::string_view rest = path ? path : "/usr/bin:/bin";
    for (;;) {
        const size_t colon = rest.find(':');
        // An empty entry is the current directory.
        std::string_view entry = rest.substr(0, colon);
        const std::filesystem::path candidate =
            std::filesystem::path(entry.empty() ? "." : std::string(entry)) / std::string(name);
        if (IsRunnableProgram(candidate)) return candidate;
        if (colon == std::string_view::npos) return std::nullopt;
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace corvo::platform
