// Starting programs on Windows: the command line the child splits gives back
// the arguments as given, and the holder reports the child's exit code.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <shellapi.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/com/ole_text.h"
#include "platform/program_file.h"
#include "platform/windows_command_line.h"

namespace corvo::platform {
namespace {

struct LocalFreeDeleter {
    void operator()(LPWSTR* p) const { ::LocalFree(p); }
};

// The system's own split of `line`.
std::vector<std::u16string> SystemSplit(const std::u16string& line) {
    int count = 0;
    const std::unique_ptr<LPWSTR, LocalFreeDeleter> argv(
        ::CommandLineToArgvW(AsOleText(line.c_str()), &count));
    std::vector<std::u16string> args;
    for (int i = 0; argv && i < count; ++i) args.emplace_back(AsUtf16(argv.get()[i]));
    return args;
}

TEST(WindowsCommandLine, TheSystemSplitsRandomLinesBackIntoTheArguments) {
    std::mt19937 rng(5);
    const std::u16string alphabet = u"\\\"  \tx\u00e9\u4e2d";
    const std::u16string program = u"C:\\Program Files\\Corvo\\p.exe";
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::u16string> args(1 + rng() % 4);
        for (auto& arg : args) {
            const size_t length = rng() % 8;
            for (size_t i = 0; i < length; ++i) arg.push_back(alphabet[rng() % alphabet.size()]);
        }
        std::u16string line;
        ASSERT_TRUE(BuildWindowsCommandLine(program, args, &line));
        std::vector<std::u16string> expected{program};
        expected.insert(expected.end(), args.begin(), args.end());
        ASSERT_EQ(SystemSplit(line), expected) << "round " << round;
    }
}

TEST(ChildProcess, ExitCodesOfTheCommandInterpreter) {
    const auto cmd = FindProgramOnPath("cmd");
    ASSERT_TRUE(cmd);
    struct Case {
        const char* command;
        int code;
    };
    for (const Case& c : {Case{"exit 0", 0}, Case{"exit 7", 7}, Case{"exit 255", 255}}) {
        ChildProcess child;
        ASSERT_TRUE(child.Start(*cmd, {"/c", c.command}));
        EXPECT_EQ(child.Wait(), c.code) << c.command;
        EXPECT_FALSE(child.running());
    }
    ChildProcess missing;
    std::string error;
    EXPECT_FALSE(missing.Start("C:\\nonexistent\\program.exe", {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(FindProgramOnPath("corvo-no-such-program"));
    const auto self = RunningProgramPath();
    ASSERT_TRUE(self);
    EXPECT_EQ(self->extension(), ".exe");
}

}  // namespace
}  // namespace corvo::platform
