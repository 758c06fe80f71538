#include "module/module_state.h"

#include "module/class_table.h"
#include "module/module_exports.h"
#include "module/module_path.h"
#include "platform/com/module_lock.h"

namespace corvo::module {

ModuleState& ModuleState::Instance() {
    static ModuleState state;
    return state;
}

ModuleState::ModuleState() {
    static_assert(std::tuple_size_v<decltype(class_objects_)> == 3, "one per class table row");
    try {
        initialised_ =
            ClassTable().size() == class_objects_.size() &&
            FindModulePath(reinterpret_cast<const void*>(&DllGetClassObject), &module_path_);
    } catch (...) {
        initialised_ = false;
    }
}

ModuleState::~ModuleState() {
    ReleaseClassObjects();
}

HRESULT ModuleState::GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!initialised_) return E_UNEXPECTED;
    const ClassTableRow* row = FindClass(rclsid);
    if (!row) return CLASS_E_CLASSNOTAVAILABLE;
    CClassFactory*& slot = class_objects_[row - ClassTable().data()];
    std::lock_guard<std::mutex> lock(com::ModuleLock::CriticalSection());
    if (!slot) {
        slot = CClassFactory::Create(row->create);
        if (!slot) return E_OUTOFMEMORY;
    }
    return slot->QueryInterface(riid, ppv);
}

void ModuleState::ReleaseClassObjects() {
    std::lock_guard<std::mutex> lock(com::ModuleLock::CriticalSection());
    for (CClassFactory*& slot : class_objects_) {
        if (slot) slot->Release();
        slot = nullptr;
    }
}

}  // namespace corvo::module
