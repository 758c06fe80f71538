#include "module/module_path.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace corvo::module {

bool FindModulePath(const void* address, std::string* path) {
    Dl_info info{};
    if (dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname) return false;
    std::error_code error;
    std::filesystem::path file = std::filesystem::absolute(info.dli_fname, error);
    if (error) return false;
    *path = file.lexically_normal().string();
    return true;
}

std::string_view ModuleDirectory(std::string_view path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

}  // namespace corvo::module
