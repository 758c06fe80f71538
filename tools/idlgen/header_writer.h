// Writes the C++ headers generated from a parsed IDL file.
#pragma once

#include <string>

#include "tools/idlgen/idl_model.h"

namespace corvo::idlgen {

// The interface header: GUID constants (LIBID_, IID_, DIID_, CLSID_) and the
// interfaces as abstract classes in vtable order.
std::string WriteInterfaceHeader(const IdlFile& idl, const std::string& source_name);

// The dispatch header: per interface its description (names, DISPIDs, parameter
// types and directions, help string) and call thunk, the library description,
// and the InterfaceTraits specialisations. Includes `interface_header`.
std::string WriteDispatchHeader(const IdlFile& idl, const std::string& source_name,
                                const std::string& interface_header);

}  // namespace corvo::idlgen
