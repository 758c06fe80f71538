// Windows command lines: a program receives one string and splits it into
// arguments itself (CommandLineToArgvW and the C runtime use the same rules).
// Building the string so that the split gives back the intended arguments is
// pure text work, the same on every system.
//
// The rules: arguments are separated by spaces or tabs; a double quote
// starts or ends a quoted part, in which spaces and tabs are kept; 2n
// backslashes before a quote are n backslashes and the quote is special,
// 2n+1 backslashes before a quote are n backslashes and a literal quote;
// backslashes elsewhere are literal. The program's name (the first
// argument) is split by simpler rules: it cannot hold a double quote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvo::platform {

// `argument` as it must appear on a command line to come back unchanged:
// unquoted when it is not empty and holds no space, tab, newline, vertical
// tab or double quote; otherwise in quotes with the backslashes before a quote
// (and before the closing quote) doubled and each quote escaped.
std::u16string QuoteWindowsArgument(std::u16string_view argument);

// The command line of `program` and `args`: each quoted as above, separated by
// one space. False when the program's name holds a double quote (no command
// line can carry it).
bool BuildWindowsCommandLine(std::u16string_view program, const std::vector<std::u16string>& args,
                             std::u16string* commandLine);

}  // namespace corvo::platform
