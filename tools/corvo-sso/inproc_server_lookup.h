// Where an in-process server of a class is, found in the current user's
// registry, and below it in the machine's, as CoCreateInstance finds it:
//
//   Software\Classes\<ProgID>\CurVer     the versioned ProgID (followed when present)
//   Software\Classes\<ProgID>\CLSID      the class's CLSID
//   Software\Classes\CLSID\{..}\InprocServer32   the module's path
//
// Each key is taken from the user's registry when the user has it, and from
// the machine's otherwise (the merged view of HKEY_CLASSES_ROOT): a user's own
// registration overrides the machine's.
#pragma once

#include <string>
#include <string_view>

#include "platform/com/com.h"
#include "platform/registry_store.h"

namespace corvo::cli {

struct InprocServerLocation {
    std::string prog_id;  // the ProgID that named the CLSID (after CurVer)
    CLSID clsid{};
    std::string module_path;
};

// REGDB_E_CLASSNOTREG when the ProgID, its CLSID or the class's
// InprocServer32 entry is missing (or CurVer goes round in a circle);
// CO_E_CLASSSTRING when the CLSID is not a GUID; the store's failure when the
// file cannot be read. `message` receives a sentence for the user. `machine`
// may be null (no machine registry).
HRESULT FindInprocServer(const platform::RegistryStore& store,
                         const platform::RegistryStore* machine, std::string_view prog_id,
                         InprocServerLocation* location, std::string* message);

// The same over the current user's registry and the machine's.
HRESULT FindInprocServer(std::string_view prog_id, InprocServerLocation* location,
                         std::string* message);

}  // namespace corvo::cli
