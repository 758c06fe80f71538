// `corvo-sso register` and `corvo-sso unregister`: the module registers (and
// unregisters) itself in the current user's registry through its own
// DllRegisterServer and DllUnregisterServer.
#pragma once

#include <string>

namespace corvo::cli {

// The module built beside this program: <dir of the program>/../module/libCorvoSSOLogin.so.
std::string DefaultModulePath();

// Load the module at `module_path` (the default when empty) and register or
// unregister it. Return the exit code; report success on standard output and
// failures on standard error.
int RunRegister(const std::string& module_path);
int RunUnregister(const std::string& module_path);

}  // namespace corvo::cli
