#include "tools/corvo-sso/registration_commands.h"

#include <filesystem>
#include <iostream>
#include <optional>

// The system's headers first: on Windows they rename GetModuleFileName, in
// the declaration and in the call alike.
#include "module/module_exports.h"
#include "platform/com/com.h"
#include "platform/module_file.h"
#include "platform/registry_store.h"
#include "tools/corvo-sso/cli_common.h"
#include "tools/corvo-sso/inproc_module.h"

namespace corvo::cli {
namespace {

enum class Action { kRegister, kUnregister };

int Run(const std::string& given_path, Action action, bool machine) {
    const std::string path = given_path.empty() ? DefaultModulePath() : given_path;
    const std::optional<platform::RegistryStore> machine_store =
        machine ? platform::RegistryStore::Machine() : std::nullopt;
    if (machine && !machine_store) {
        std::cerr << "error: --machine: this system's installer registers the module for the "
                     "machine\n";
        return kExitUsage;
    }
    InprocModule module;
    std::string message;
    HRESULT hr = module.Load(path, &message);
    const auto update = [&] {
        return action == Action::kRegister ? module.RegisterServer() : module.UnregisterServer();
    };
    if (SUCCEEDED(hr))
        hr = machine ? machine_store->UpdateAsUserRegistry(update, &message) : update();
    if (FAILED(hr)) return ReportHResult(hr, message);
    std::cout << (action == Action::kRegister ? "registered " : "unregistered ") << path << " in "
              << (machine ? machine_store->path() : platform::RegistryStore::DefaultPath()) << "\n";
    return kExitOk;
}

}  // namespace

std::string DefaultModulePath() {
    // The file that holds this code is the program itself.
    const auto program =
        platform::GetModuleFileName(reinterpret_cast<const void*>(&DefaultModulePath));
    if (!program) return module::kModuleFileName;  // found through the library path
    const std::filesystem::path directory = std::filesystem::path(*program).parent_path();
    const std::filesystem::path candidates[] = {
        directory.parent_path() / "module" / module::kModuleFileName,             // build tree
        directory.parent_path() / "lib" / "corvo-sso" / module::kModuleFileName,  // package
        directory / module::kModuleFileName,  // beside the program (Windows installation)
    };
    std::filesystem::path chosen = candidates[0];
    for (const auto& candidate : candidates) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            chosen = candidate;
            break;
        }
    }
    const std::u8string module = chosen.lexically_normal().u8string();
    return std::string(module.begin(), module.end());
}

int RunRegister(const std::string& module_path, bool machine) {
    return Run(module_path, Action::kRegister, machine);
}

int RunUnregister(const std::string& module_path, bool machine) {
    return Run(module_path, Action::kUnregister, machine);
}

}  // namespace corvo::cli
