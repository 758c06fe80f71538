// Where the module's own file is: the path that registration writes as
// InprocServer32 and the type library's win32 entry.
#pragma once

#include <string>
#include <string_view>

namespace corvo::module {

// The full path of the loaded file that holds `address` (any function of the
// module), as it was when the module was loaded (see
// platform::LoadedFilePath). False when the address belongs to no loaded file.
bool FindModulePath(const void* address, std::string* path);

}  // namespace corvo::module
