#include "platform/module_file.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <array>
#include <climits>

#include "platform/strict_utf8.h"

namespace corvo::platform {
namespace {

// The program's own file, as the kernel names it.
std::optional<std::string> ProgramFile() {
    std::array<char, PATH_MAX> buffer{};
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return std::nullopt;
    return std::string(buffer.data(), static_cast<size_t>(n));
}

std::optional<std::string> CurrentDirectory() {
    std::array<char, PATH_MAX> buffer{};
    if (!getcwd(buffer.data(), buffer.size())) return std::nullopt;
    return std::string(buffer.data());
}

// The loader's name of the file that holds `address`.
std::optional<std::string> LoadedFileOf(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
        return std::nullopt;
    // The program itself has an empty name in the loader's list.
    if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0') return ProgramFile();
    std::string path = map->l_name;
    if (path.front() != '/') {
        auto cwd = CurrentDirectory();
        if (!cwd) return std::nullopt;
        path = *cwd + (cwd->back() == '/' ? "" : "/") + path;
    }
    return path;
}

}  // namespace

std::optional<std::u16string> GetModuleFileName(const void* address) {
    const auto path = LoadedFileOf(address);
    if (!path) return std::nullopt;
    std::u16string wide;
    if (!StrictUtf8ToUtf16(*path, wide)) return std::nullopt;
    if (wide.empty() || wide.size() >= kModuleFileNameCapacity) return std::nullopt;
    return wide;
}

}  // namespace corvo::platform
