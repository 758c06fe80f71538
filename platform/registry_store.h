// The current user's registry, as the module's registration changes it.
// The interface is the same on every system; the declarations live with
// the implementation that this build compiles (see docs/architecture.md,
// "Platform layer").
#pragma once

#ifdef _WIN32
#include "platform/win32/registry_store.h"
#else
#include "platform/posix/registry_store.h"
#endif
