// Command lines for Windows programs, checked against a splitter written
// from the documented parsing rules (the C runtime's and CommandLineToArgvW's
// for every argument after the program's name).
#include "platform/windows_command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using corvo::platform::BuildWindowsCommandLine;
using corvo::platform::QuoteWindowsArgument;

// The arguments of `line` after the program's name, which `line` must start
// with followed by a space (the program's own rules are simpler and checked
// separately).
std::vector<std::u16string> SplitArguments(std::u16string_view line) {
    std::vector<std::u16string> args;
    size_t i = 0;
    const auto blank = [&](size_t at) {
        return at < line.size() && (line[at] == u' ' || line[at] == u'\t');
    };
    while (true) {
        while (blank(i)) ++i;
        if (i >= line.size()) break;
        std::u16string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || !blank(i))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == u'\\') ++slashes, ++i;
            if (i < line.size() && line[i] == u'"') {
                arg.append(slashes / 2, u'\\');
                if (slashes % 2 == 1) {
                    arg.push_back(u'"');
                } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
                    arg.push_back(u'"');  // "" inside quotes: a quote
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, u'\\');
                if (i < line.size() && (quoted || !blank(i))) arg.push_back(line[i++]);
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

TEST(WindowsCommandLine, QuotingOfSingleArguments) {
    struct Case {
        std::u16string arg, quoted;
    };
    const Case cases[] = {
        {u"plain", u"plain"},
        {u"C:\\dir\\file.txt", u"C:\\dir\\file.txt"},  // backslashes alone are literal
        {u"", u"\"\""},
        {u"two words", u"\"two words\""},
        {u"tab\there", u"\"tab\there\""},
        {u"line\nbreak", u"\"line\nbreak\""},
        {u"say \"hi\"", u"\"say \\\"hi\\\"\""},
        {u"a\\\"b", u"\"a\\\\\\\"b\""},  // a\"b: the backslash doubled, quote escaped
        {u"C:\\with space\\", u"\"C:\\with space\\\\\""},  // before the closing quote: doubled
        {u"\\\\", u"\\\\"},
        {u"\"", u"\"\\\"\""},
        {u"\u4e2d\u6587 \U0001F600", u"\"\u4e2d\u6587 \U0001F600\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteWindowsArgument(c.arg), c.quoted);
        std::u16string line;
        ASSERT_TRUE(BuildWindowsCommandLine(u"prog", {c.arg}, &line));
        EXPECT_EQ(SplitArguments(std::u16string_view(line).substr(5)),
                  std::vector<std::u16string>{c.arg});
    }
}

TEST(WindowsCommandLine, ProgramNames) {
    struct Case {
        std::u16string program;
        bool ok;
        std::u16string line;
    };
    const Case cases[] = {
        {u"C:\\tools\\corvo-imclient.exe", true, u"C:\\tools\\corvo-imclient.exe a"},
        {u"C:\\Program Files\\x.exe", true, u"\"C:\\Program Files\\x.exe\" a"},
        // A trailing backslash of a quoted program's name is no escape.
        {u"C:\\dir with space\\", true, u"\"C:\\dir with space\\\" a"},
        {u"", true, u"\"\" a"},
        {u"bad\"name.exe", false, u""},
    };
    for (const auto& c : cases) {
        std::u16string line;
        EXPECT_EQ(BuildWindowsCommandLine(c.program, {u"a"}, &line), c.ok);
        if (c.ok) {
            EXPECT_EQ(line, c.line);
        }
    }
}

// Random arguments drawn mostly from the characters the rules treat
// specially come back unchanged, however many there are.
TEST(WindowsCommandLine, RandomArgumentsSurviveTheSplit) {
    std::mt19937 rng(11);
    const std::u16string alphabet = u"\\\"  \tab\u00e9\u4e2d";
    for (int round = 0; round < 3000; ++round) {
        std::vector<std::u16string> args(rng() % 5);
        for (auto& arg : args) {
            const size_t length = rng() % 9;
            for (size_t i = 0; i < length; ++i) arg.push_back(alphabet[rng() % alphabet.size()]);
        }
        std::u16string line;
        ASSERT_TRUE(BuildWindowsCommandLine(u"p", args, &line));
        ASSERT_EQ(SplitArguments(std::u16string_view(line).substr(1)), args) << "round " << round;
    }
}

}  // namespace
