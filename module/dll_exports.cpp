// The module's four exports and its load and unload hooks.
//
// Loading initialises the module state (see module_state.h); unloading (or the
// end of the process) releases the class objects. No exception leaves an
// export: one that escapes the work becomes E_OUTOFMEMORY or E_FAIL.
#include <new>

#include "module/module_exports.h"
#include "module/module_registration.h"
#include "module/module_state.h"
#include "platform/com/module_lock.h"

namespace corvo::module {
namespace {

// Runs at load time, before dlopen returns: builds the module state now, so
// the module's own path is taken while the load path still means what it did.
__attribute__((constructor)) void OnModuleLoad() {
    ModuleState::Instance();
}

template <class Work>
HRESULT Guarded(Work work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT UpdateRegistration(RegistrarMode mode) noexcept {
    return Guarded([mode] {
        const ModuleState& state = ModuleState::Instance();
        if (!state.initialised()) return E_UNEXPECTED;
        const platform::RegistryStore store;  // the current user's registry
        return UpdateModuleRegistration(store, state.module_path(), mode);
    });
}

}  // namespace
}  // namespace corvo::module

extern "C" {

__attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid,
                                                                 void** ppv) {
    return corvo::module::Guarded(
        [&] { return corvo::module::ModuleState::Instance().GetClassObject(rclsid, riid, ppv); });
}

__attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return corvo::com::ModuleLock::Count() == 0 ? S_OK : S_FALSE;
}

__attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    return corvo::module::UpdateRegistration(corvo::module::RegistrarMode::kRegister);
}

__attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    return corvo::module::UpdateRegistration(corvo::module::RegistrarMode::kUnregister);
}

}  // extern "C"
