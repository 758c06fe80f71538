// The module's four exports and its load and unload hooks.
//
// Loading initialises the module state (see module_state.h); unloading (or the
// end of the process) releases the class objects. No exception leaves an
// export: one that escapes the work becomes E_OUTOFMEMORY or E_FAIL.
#include <new>

#include "module/module_exports.h"
#include "module/module_registration.h"
#include "module/module_state.h"
#include "platform/com/dispatch_impl.h"
#include "platform/com/module_lock.h"
#include "platform/compiler.h"
#include "platform/module_entry.h"

namespace corvo::platform {

// Builds the module state now, while the module is being loaded.
bool OnModuleAttach() noexcept {
    try {
        return module::ModuleState::Instance().initialised();
    } catch (...) {
        return false;
    }
}

void OnModuleDetach() noexcept {
    module::ModuleState::Instance().ReleaseClassObjects();
    com::ReleaseDispatchCache();
}

}  // namespace corvo::platform

namespace corvo::module {
namespace {

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

CORVO_MODULE_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid,
                                                             void** ppv) {
    return corvo::module::Guarded(
        [&] { return corvo::module::ModuleState::Instance().GetClassObject(rclsid, riid, ppv); });
}

CORVO_MODULE_EXPORT HRESULT STDAPICALLTYPE DllCanUnloadNow() {
    return corvo::com::ModuleLock::Count() == 0 ? S_OK : S_FALSE;
}

CORVO_MODULE_EXPORT HRESULT STDAPICALLTYPE DllRegisterServer() {
    return corvo::module::UpdateRegistration(corvo::module::RegistrarMode::kRegister);
}

CORVO_MODULE_EXPORT HRESULT STDAPICALLTYPE DllUnregisterServer() {
    return corvo::module::UpdateRegistration(corvo::module::RegistrarMode::kUnregister);
}

}  // extern "C"
