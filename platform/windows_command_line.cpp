#include "platform/windows_command_line.h"

namespace corvo::platform {

std::u16string QuoteWindowsArgument(std::u16string_view argument) {
    if (!argument.empty() && argument.find_first_of(u" \t\n\v\"") == std::u16string_view::npos)
        return std::u16string(argument);
    std::u16string quoted = u"\"";
    size_t backslashes = 0;
    for (const char16_t c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        if (c == u'"') {
            // Every backslash before it doubled, then the quote escaped.
            quoted.append(backslashes * 2 + 1, u'\\');
        } else {
            quoted.append(backslashes, u'\\');
        }
        backslashes = 0;
        quoted.push_back(c);
    }
    // Before the closing quote the backslashes must not escape it.
    quoted.append(backslashes * 2, u'\\');
    quoted.push_back(u'"');
    return quoted;
}

bool BuildWindowsCommandLine(std::u16string_view program, const std::vector<std::u16string>& args,
                             std::u16string* commandLine) {
    if (program.find(u'"') != std::u16string_view::npos) return false;
    // The program's name ends at the first space unless it is quoted, and
    // its backslashes are never escapes.
    std::u16string line =
        program.empty() || program.find_first_of(u" \t") != std::u16string_view::npos
            ? u"\"" + std::u16string(program) + u"\""
            : std::u16string(program);
    for (const auto& arg : args) {
        line.push_back(u' ');
        line += QuoteWindowsArgument(arg);
    }
    *commandLine = std::move(line);
    return true;
}

}  // namespace corvo::platform
