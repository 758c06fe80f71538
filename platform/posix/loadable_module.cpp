#include "platform/loadable_module.h"

#include <dlfcn.h>

namespace corvo::platform {

std::optional<LoadableModule> LoadableModule::Load(const std::string& path, std::string* message) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        if (message) *message = reason ? reason : "cannot load " + path;
        return std::nullopt;
    }
    return LoadableModule(handle);
}

void* LoadableModule::Export(const char* name) const {
    return handle_ ? dlsym(handle_, name) : nullptr;
}

void LoadableModule::Free() {
    if (handle_) dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace corvo::platform
