#include "tools/corvo-sso/inproc_module.h"

namespace corvo::cli {
namespace {

constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorProcNotFound = 127;

template <class Function>
bool Find(const platform::LoadableModule& module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(module.Export(name));
    return *function != nullptr;
}

}  // namespace

HRESULT InprocModule::Load(const std::string& path, std::string* message) {
    Unload();
    auto module = platform::LoadableModule::Load(path, message);
    if (!module) return HRESULT_FROM_WIN32(kErrorModNotFound);
    const bool found = Find(*module, "DllGetClassObject", &get_class_object_) &&
                       Find(*module, "DllCanUnloadNow", &can_unload_now_) &&
                       Find(*module, "DllRegisterServer", &register_server_) &&
                       Find(*module, "DllUnregisterServer", &unregister_server_);
    if (!found) {
        if (message) *message = path + " is not a COM server module (an export is missing)";
        return HRESULT_FROM_WIN32(kErrorProcNotFound);
    }
    module_ = std::move(module);
    return S_OK;
}

void InprocModule::Unload() {
    if (!module_) return;
    // A module with live objects stays loaded: their code may still run.
    if (can_unload_now_() != S_OK) module_->Keep();
    module_.reset();
}

}  // namespace corvo::cli
