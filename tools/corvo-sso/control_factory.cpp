#include "tools/corvo-sso/control_factory.h"

#include "module/module_exports.h"
#include "platform/com_activation.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/inproc_server_lookup.h"

namespace corvo::cli {
namespace {

// The class as the current user's registration (or else the machine's) names
// it, from the module that registration names, through its own class object.
HRESULT CreateFromUserRegistration(InprocModule* module, ComPtr<IDispatch>* control,
                                   std::string* message) {
    InprocServerLocation location;
    HRESULT hr = FindInprocServer(module::kSSOLoginCtrlProgId, &location, message);
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

}  // namespace

HRESULT CreateLoginControl(InprocModule* module, ComPtr<IDispatch>* control, std::string* message) {
    std::u16string progId;
    for (const char* c = module::kSSOLoginCtrlProgId; *c; ++c) progId.push_back(char16_t(*c));
    // The system's COM runtime first, as a browser creates the control. A
    // runtime that does not see the user's own registration (there is none on
    // POSIX; Wine 8 reads classes from the machine's keys only) leaves it to
    // the host.
    const HRESULT hr =
        platform::CreateRegisteredInProcess(progId, IID_IDispatch, control->OutVoid());
    if (hr != REGDB_E_CLASSNOTREG) return hr;
    return CreateFromUserRegistration(module, control, message);
}

}  // namespace corvo::cli
