// InprocModule: an in-process COM server loaded into this process
// (platform/loadable_module.h), with its four exports.
//
// The holder unloads the module when it goes away, but only when the module
// agrees (DllCanUnloadNow answers S_OK): a module that still has live objects
// stays loaded until the process ends, so nothing is ever called in unmapped
// code.
#pragma once

#include <optional>
#include <string>

#include "module/module_exports.h"
#include "platform/com/com.h"
#include "platform/loadable_module.h"

namespace corvo::cli {

class InprocModule {
  public:
    InprocModule() = default;
    InprocModule(const InprocModule&) = delete;
    InprocModule& operator=(const InprocModule&) = delete;
    ~InprocModule() { Unload(); }

    // Loads the module at `path` and finds its exports. On failure `message`
    // receives the loader's reason and the module is not kept loaded.
    // Failures: HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) when the file cannot
    // be loaded, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) when an export is
    // missing.
    HRESULT Load(const std::string& path, std::string* message);
    bool loaded() const { return module_.has_value(); }

    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) const {
        return get_class_object_(rclsid, riid, ppv);
    }
    HRESULT CanUnloadNow() const { return can_unload_now_(); }
    HRESULT RegisterServer() const { return register_server_(); }
    HRESULT UnregisterServer() const { return unregister_server_(); }

  private:
    void Unload();

    std::optional<platform::LoadableModule> module_;
    module::DllGetClassObjectFunction get_class_object_ = nullptr;
    module::DllCanUnloadNowFunction can_unload_now_ = nullptr;
    module::DllRegisterServerFunction register_server_ = nullptr;
    module::DllUnregisterServerFunction unregister_server_ = nullptr;
};

}  // namespace corvo::cli
