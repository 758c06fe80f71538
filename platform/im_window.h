// The IM client's windows: finding them, reading their titles, WM_COPYDATA delivery.
// The interface is the same on every system; the declarations live with
// the implementation that this build compiles (see docs/architecture.md,
// "Platform layer").
#pragma once

#ifdef _WIN32
#error "The IM window functions come with the Windows COM module; nothing portable uses them yet."
#else
#include "platform/posix/im_window.h"
#endif
