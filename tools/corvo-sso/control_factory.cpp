#include "tools/corvo-sso/control_factory.h"

#include "module/module_exports.h"
#include "tools/corvo-sso/inproc_server_lookup.h"

namespace corvo::cli {

HRESULT CreateLoginControl(InprocModule* module, ComPtr<IDispatch>* control, std::string* message) {
    const platform::RegistryStore store;  // the current user's registry
    InprocServerLocation location;
    HRESULT hr = FindInprocServer(store, module::kSSOLoginCtrlProgId, &location, message);
    if (FAILED(hr)) return hr;
    hr = module->Load(location.module_path, message);
    if (FAILED(hr)) return hr;
    ComPtr<IClassFactory> factory;
    hr = module->GetClassObject(location.clsid, IID_IClassFactory, factory.OutVoid());
    if (FAILED(hr)) {
        if (message)
            *message = "the module " + location.module_path + " has no class object for it";
        return hr;
    }
    return factory->CreateInstance(nullptr, IID_IDispatch, control->OutVoid());
}

}  // namespace corvo::cli
