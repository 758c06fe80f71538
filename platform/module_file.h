// The path of the loaded file that holds a given piece of code: the shared
// library or the program (the GetModuleFileNameW stand-in for the module
// that contains the caller).
//
// The path is what the dynamic loader recorded for the library, or the
// program's own file (/proc/self/exe) for code linked into the program; a
// relative name (a library loaded by a relative path) is made absolute. For
// the file that holds this code (the module, when it is linked into one) that
// happens while it is being loaded, against the directory it was loaded from,
// so a host that changes its current directory later still gets the module's
// own path, as GetModuleFileNameW gives it; for other files it happens at the
// call.
//
// The Windows call fills a buffer of 260 characters, terminating NUL
// included, and silently cuts a longer path, which would then name another
// directory. Here a path that needs more than 259 UTF-16 code units fails
// instead, as does a path that is not valid UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The file name of a loadable module called `stem` (a string literal) on
// this system: "lib<stem>.so" on POSIX, "<stem>.dll" on Windows.
#ifdef _WIN32
#define CORVO_MODULE_FILE_NAME(stem) stem ".dll"
#else
#define CORVO_MODULE_FILE_NAME(stem) "lib" stem ".so"
#endif

namespace corvo::platform {

// Characters of the caller's buffer, terminating NUL included.
inline constexpr size_t kModuleFileNameCapacity = 260;

// The full, lexically normal path of the file holding `address` as the
// system names it (UTF-8 bytes), or nothing when the address belongs to no
// loaded file. No length limit.
std::optional<std::string> LoadedFilePath(const void* address);

// The same path as UTF-16, or nothing when the address belongs to no loaded
// file or the path does not fit (see above). It is returned as UTF-16.
std::optional<std::u16string> GetModuleFileName(const void* address);

}  // namespace corvo::platform
