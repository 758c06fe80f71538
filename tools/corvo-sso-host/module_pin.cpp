#include "tools/corvo-sso-host/module_pin.h"

#include <memory>
#include <mutex>

#include "module/module_exports.h"
#include "tools/corvo-sso/inproc_module.h"
#include "tools/corvo-sso/inproc_server_lookup.h"

namespace corvo::host {

void PinRegisteredModule() {
    static std::mutex mutex;
    static std::unique_ptr<cli::InprocModule> pinned;
    const std::lock_guard<std::mutex> lock(mutex);
    if (pinned) return;
    // The module the user's registration names, or the machine's.
    cli::InprocServerLocation location;
    std::string message;
    if (FAILED(cli::FindInprocServer(module::kSSOLoginCtrlProgId, &location, &message))) return;
    auto module = std::make_unique<cli::InprocModule>();
    if (SUCCEEDED(module->Load(location.module_path, &message))) pinned = std::move(module);
}

}  // namespace corvo::host
