#include "tools/corvo-sso/registration_commands.h"

#include <filesystem>
#include <iostream>

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

int Run(const std::string& given_path, Action action) {
    const std::string path = given_path.empty() ? DefaultModulePath() : given_path;
    InprocModule module;
    std::string message;
    HRESULT hr = module.Load(path, &message);
    if (SUCCEEDED(hr))
        hr = action == Action::kRegister ? module.RegisterServer() : module.UnregisterServer();
    if (FAILED(hr)) return ReportHResult(hr, message);
    std::cout << (action == Action::kRegister ? "registered " : "unregistered ") << path << " in "
              << platform::RegistryStore::DefaultPath() << "\n";
    return kExitOk;
}

}  // namespace

std::string DefaultModulePath() {
    // The file that holds this code is the program itself.
    const auto program =
        platform::GetModuleFileName(reinterpret_cast<const void*>(&DefaultModulePath));
    if (!program) return module::kModuleFileName;  // found through the library path
    const std::u8string module = (std::filesystem::path(*program).parent_path().parent_path() /
                                  "module" / module::kModuleFileName)
                                     .lexically_normal()
                                     .u8string();
    return std::string(module.begin(), module.end());
}

int RunRegister(const std::string& module_path) {
    return Run(module_path, Action::kRegister);
}

int RunUnregister(const std::string& module_path) {
    return Run(module_path, Action::kUnregister);
}

}  // namespace corvo::cli
