// The one header through which portable code reaches COM and OLE Automation.
// On Windows it is the system's own headers; elsewhere our ABI-compatible layer.
#pragma once

#ifdef _WIN32
#include <objbase.h>
#include <objsafe.h>
#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>
#include <servprov.h>
#include <windows.h>

#include "platform/com/make_guid.h"
#else
#include "platform/com/com_abi.h"
#endif

#include "platform/com/guid_text.h"

// A Win32 error code as an HRESULT (FACILITY_WIN32), the same computation as
// the system's macro, under a name that portable code can use everywhere.
inline constexpr HRESULT HResultFromWin32(unsigned long error) {
    return static_cast<HRESULT>(error) <= 0
               ? static_cast<HRESULT>(error)
               : static_cast<HRESULT>((error & 0x0000FFFFul) | 0x80070000ul);
}
