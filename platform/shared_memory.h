// A named shared-memory block (a named file mapping on Windows) and its views.
// The interface is the same on every system; the declarations live with
// the implementation that this build compiles (see docs/architecture.md,
// "Platform layer").
#pragma once

#ifdef _WIN32
#include "platform/win32/shared_memory.h"
#else
#include "platform/posix/shared_memory.h"
#endif
