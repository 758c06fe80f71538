#include "module/module_path.h"

#include "platform/module_file.h"

namespace corvo::module {

bool FindModulePath(const void* address, std::string* path) {
    auto found = platform::LoadedFilePath(address);
    if (!found) return false;
    *path = std::move(*found);
    return true;
}

}  // namespace corvo::module
