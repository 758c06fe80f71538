#include "tools/corvo-sso-host/module_pin.h"

#include <memory>
#include <mutex>

#include "module/module_exports.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/inproc_module.h"
#include "tools/corvo-sso/inproc_server_lookup.h"

namespace corvo::host {

void PinRegisteredModule() {
    static std::mutex mutex;
    static std::unique_ptr<cli::InprocModule> pinned;
    const std::lock_guard<std::mutex> lock(mutex);
    if (pinned) return;
    const platform::RegistryStore store;
    cli::InprocServerLocation location;
    std::string message;
    if (FAILED(cli::FindInprocServer(store, module::kSSOLoginCtrlProgId, &location, &message)))
        return;
    auto module = std::make_unique<cli::InprocModule>();
    if (SUCCEEDED(module->Load(location.module_path, &message))) pinned = std::move(module);
}

}  // namespace corvo::host
