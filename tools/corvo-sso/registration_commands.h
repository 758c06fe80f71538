// `corvo-sso register` and `corvo-sso unregister`: the module registers (and
// unregisters) itself in the current user's registry through its own
// DllRegisterServer and DllUnregisterServer. With --machine (POSIX) the same
// registration goes into the machine's registry, which every user reads
// below their own: the module registers itself into a copy of it.
#pragma once

#include <string>

namespace corvo::cli {

// The module that goes with this program: <dir of the program>/../module/
// in a build tree, ../lib/corvo-sso/ when installed on POSIX, or beside the
// program (Windows installation); the first that exists, else the first.
std::string DefaultModulePath();

// Load the module at `module_path` (the default when empty) and register or
// unregister it, for the current user or (`machine`) the machine. Return the
// exit code; report success on standard output and failures on standard
// error.
int RunRegister(const std::string& module_path, bool machine = false);
int RunUnregister(const std::string& module_path, bool machine = false);

}  // namespace corvo::cli
