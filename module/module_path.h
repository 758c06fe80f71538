// Where the module's own file is: the path that registration writes as
// InprocServer32 and the type library's win32 entry.
#pragma once

#include <string>
#include <string_view>

namespace corvo::module {

// The full path of the loaded file that holds `address` (any function of the
// module). A relative load path is made absolute against the current
// directory, so call this while the module is being loaded. False when the
// address belongs to no loaded file.
bool FindModulePath(const void* address, std::string* path);

// The directory of `path`: everything before its last '/', or "/" for a file
// in the root directory ('\' and ':' are ordinary file name characters here).
std::string_view ModuleDirectory(std::string_view path);

}  // namespace corvo::module
