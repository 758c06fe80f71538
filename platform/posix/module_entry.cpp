// The module's load-time constructor (linked into the module only, see
// platform/CMakeLists.txt).
#include "platform/module_entry.h"

namespace corvo::platform {
namespace {

// Runs before dlopen returns, so the module's state (its own path among it)
// is taken while the load path still means what it did.
__attribute__((constructor)) void AttachAtLoad() {
    (void)OnModuleAttach();  // a failed attach leaves the module inert
}

}  // namespace
}  // namespace corvo::platform
