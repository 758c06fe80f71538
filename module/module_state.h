// The module's state: whether loading succeeded, its own file path, and the
// class object of each class table row, created on first request and kept
// until the module unloads.
//
// The POSIX loader runs the module's initialisation when the module is loaded
// and cannot be told to refuse the load; a module whose initialisation failed
// therefore stays loaded but inert: DllGetClassObject, DllRegisterServer and
// DllUnregisterServer answer E_UNEXPECTED, and DllCanUnloadNow answers S_OK so
// the host lets it go.
#pragma once

#include <array>
#include <string>

#include "module/class_factory.h"
#include "platform/com/com.h"

namespace corvo::module {

class ModuleState {
  public:
    // The state, initialised on first use (the module's load-time
    // initialisation makes that first use happen while loading).
    static ModuleState& Instance();

    ModuleState(const ModuleState&) = delete;
    ModuleState& operator=(const ModuleState&) = delete;

    bool initialised() const { return initialised_; }
    const std::string& module_path() const { return module_path_; }

    // DllGetClassObject: E_POINTER for a null ppv; E_UNEXPECTED when loading
    // failed; CLASS_E_CLASSNOTAVAILABLE for a CLSID that is not in the class
    // table; E_OUTOFMEMORY; otherwise the class object's answer to `riid`.
    HRESULT GetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);

    // Releases the module's references to the class objects (at unload).
    void ReleaseClassObjects();

  private:
    ModuleState();
    ~ModuleState();

    bool initialised_ = false;
    std::string module_path_;
    std::array<CClassFactory*, 3> class_objects_{};
};

}  // namespace corvo::module
