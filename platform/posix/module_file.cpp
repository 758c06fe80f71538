#include "platform/module_file.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <filesystem>
#include <system_error>

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

struct LoadedFile {
    const void* base = nullptr;  // where the loader placed the file
    std::optional<std::string> path;
};

// The loader's name of the file that holds `address`, made absolute against
// the current directory.
LoadedFile LoadedFileNow(const void* address) {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0) return {};
    // The program itself has an empty name in the loader's list.
    if (map == nullptr || map->l_name == nullptr || map->l_name[0] == '\0')
        return {info.dli_fbase, ProgramFile()};
    std::error_code error;
    const std::filesystem::path file = std::filesystem::absolute(map->l_name, error);
    if (error) return {info.dli_fbase, std::nullopt};
    return {info.dli_fbase, file.lexically_normal().string()};
}

// The file holding this code, taken while it is being loaded: a library
// loaded by a relative name is resolved against the directory it was loaded
// from, whatever the host does with its current directory afterwards.
LoadedFile& ThisFile() {
    static LoadedFile file;
    return file;
}

__attribute__((constructor)) void RecordThisFile() {
    try {
        ThisFile() = LoadedFileNow(reinterpret_cast<const void*>(&RecordThisFile));
    } catch (...) {
        ThisFile() = {};  // out of memory at load: looked up on each call instead
    }
}

}  // namespace

std::optional<std::string> LoadedFilePath(const void* address) {
    LoadedFile now = LoadedFileNow(address);
    const LoadedFile& recorded = ThisFile();
    if (now.base != nullptr && now.base == recorded.base && recorded.path) return recorded.path;
    return std::move(now.path);
}

std::optional<std::u16string> GetModuleFileName(const void* address) {
    const auto path = LoadedFilePath(address);
    if (!path) return std::nullopt;
    std::u16string wide;
    if (!StrictUtf8ToUtf16(*path, wide)) return std::nullopt;
    if (wide.empty() || wide.size() >= kModuleFileNameCapacity) return std::nullopt;
    return wide;
}

}  // namespace corvo::platform
