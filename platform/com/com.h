// The one header through which portable code reaches COM and OLE Automation.
// On Windows it is the system's own headers; elsewhere our ABI-compatible layer.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#include <objsafe.h>
#include <ocidl.h>
#include <oleauto.h>
#include <servprov.h>
#include <windows.h>
#else
#include "platform/com/com_abi.h"
#endif

#include "platform/com/guid_text.h"
