// The directory part of a module's path, as both the client-version lookup
// (the configuration file beside the module) and registration (the type
// library's help directory) use it: the path cut just after its last
// separator, so the separator stays ("C:\Client\", "/opt/client/", "/").
// "\" and "/" both count, the later one winning; a path without either gives
// an empty directory.
//
// A drive letter's ":" is not a separator here: a module's full path always
// has a "\" after it, and on POSIX ":" is an ordinary file name character.
#pragma once

#include <string_view>

namespace corvo::control {

template <class Char>
std::basic_string_view<Char> ModuleDirectory(std::basic_string_view<Char> path) {
    constexpr Char kSeparators[] = {Char('\\'), Char('/'), Char(0)};
    const size_t last = path.find_last_of(kSeparators);
    return last == std::basic_string_view<Char>::npos ? std::basic_string_view<Char>()
                                                      : path.substr(0, last + 1);
}

}  // namespace corvo::control
