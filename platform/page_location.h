// The address and security zone of the page that hosts the control.
// The interface is the same on every system; the declarations live with
// the implementation that this build compiles (see docs/architecture.md,
// "Platform layer").
#pragma once

#ifdef _WIN32
#error "The page location on Windows comes with the Windows COM module."
#else
#include "platform/posix/page_location.h"
#endif
