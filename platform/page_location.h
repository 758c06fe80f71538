// The address and security zone of the page that hosts the control.
// The interface is the same on every system; the declarations live with
// the implementation that this build compiles (see docs/architecture.md,
// "Platform layer").
#pragma once

#ifdef _WIN32
#include "platform/win32/page_location.h"
#else
#include "platform/posix/page_location.h"
#endif
