#include "tools/corvo-sso/inproc_module.h"

#include <dlfcn.h>

namespace corvo::cli {
namespace {

constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;

template <class Function>
bool Find(void* handle, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(dlsym(handle, name));
    return *function != nullptr;
}

}  // namespace

HRESULT InprocModule::Load(const std::string& path, std::string* message) {
    Unload();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        if (message) *message = reason ? reason : "cannot load " + path;
        return HRESULT_FROM_WIN32(kErrorModNotFound);
    }
    const bool found = Find(handle, "DllGetClassObject", &get_class_object_) &&
                       Find(handle, "DllCanUnloadNow", &can_unload_now_) &&
                       Find(handle, "DllRegisterServer", &register_server_) &&
                       Find(handle, "DllUnregisterServer", &unregister_server_);
    if (!found) {
        if (message) *message = path + " is not a COM server module (an export is missing)";
        dlclose(handle);
        return HRESULT_FROM_WIN32(kErrorProcNotFound);
    }
    handle_ = handle;
    return S_OK;
}

void InprocModule::Unload() {
    if (!handle_) return;
    if (can_unload_now_() == S_OK) dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace corvo::cli
