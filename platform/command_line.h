// The program's arguments as UTF-8. On Windows they are UTF-16 text (the
// narrow argv passes them through the ANSI code page, which loses whatever it
// cannot represent), so they are read from the wide command line; elsewhere
// they are argv's bytes as they are.
#pragma once

#include <string>
#include <vector>

namespace corvo::platform {

// argv[0..argc) as UTF-8 strings (on Windows from the wide command line; an
// argument with a lone surrogate gets U+FFFD in its place).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace corvo::platform
