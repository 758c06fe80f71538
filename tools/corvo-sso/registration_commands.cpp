#include "tools/corvo-sso/registration_commands.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "module/module_exports.h"
#include "platform/posix/registry_store.h"
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
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return module::kModuleFileName;  // found through the library path
    return (program.parent_path().parent_path() / "module" / module::kModuleFileName)
        .lexically_normal()
        .string();
}

int RunRegister(const std::string& module_path) {
    return Run(module_path, Action::kRegister);
}

int RunUnregister(const std::string& module_path) {
    return Run(module_path, Action::kUnregister);
}

}  // namespace corvo::cli
