// A named auto-reset event.
// The interface is the same on every system; the declarations live with
// the implementation that this build compiles (see docs/architecture.md,
// "Platform layer").
#pragma once

#ifdef _WIN32
#include "platform/win32/named_event.h"
#else
#include "platform/posix/named_event.h"
#endif
