// The module's own type library, as the system loads it (oleaut32 on
// Windows): its identity, which registration writes into the registry.
//
// Windows: the library is loaded from the module file itself (resource
// TYPELIB 1) or, when that fails, from the module's path with the extension
// replaced by ".tlb". POSIX has no type libraries: SystemHasTypeLibraries()
// is false and the module describes its library from the IDL's tables alone;
// LoadModuleTypeLibrary answers E_NOTIMPL there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace corvo::platform {

struct TypeLibraryIdentity {
    GUID libid{};
    uint16_t major_version = 0;
    uint16_t minor_version = 0;
    uint32_t lcid = 0;
    uint16_t flags = 0;    // the library's LIBFLAG_* bits
    std::string platform;  // the registry's name of its system: "win32", "win64"
};

bool SystemHasTypeLibraries();

// `modulePath` is UTF-8. A module path of 260 characters or more gives
// HResultFromWin32(ERROR_INSUFFICIENT_BUFFER); a library that neither the
// module nor the ".tlb" file holds, the loader's error.
HRESULT LoadModuleTypeLibrary(std::string_view modulePath, TypeLibraryIdentity* identity);

}  // namespace corvo::platform
