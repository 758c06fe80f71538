// The child-process holder and the program search, with the shell as the
// child.
#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "platform/private_session.h"
#include "platform/program_file.h"
#include "tests/common/scratch_directory.h"

namespace {

using corvo::platform::ChildProcess;
using namespace std::chrono_literals;

const std::filesystem::path kShell = "/bin/sh";

TEST(ChildProcess, ExitCodesAndArguments) {
    struct Case {
        std::string script;
        std::vector<std::string> extra;
        int code;
    };
    const Case cases[] = {
        {"exit 0", {}, 0},
        {"exit 7", {}, 7},
        // The arguments arrive as given, one each, spaces and quotes kept.
        {"test \"$1\" = 'two words' && test \"$2\" = '\"q\"' && test $# = 2",
         {"two words", "\"q\""},
         0},
        {"test $# = 1 && test -z \"$1\"", {""}, 0},
        {"kill -KILL $$", {}, -1},  // no normal exit
    };
    for (const auto& c : cases) {
        ChildProcess child;
        std::vector<std::string> args{"-c", c.script, "sh"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        ASSERT_TRUE(child.Start(kShell, args)) << c.script;
        EXPECT_TRUE(child.running());
        EXPECT_EQ(child.Wait(), c.code) << c.script;
        EXPECT_FALSE(child.running());
        EXPECT_EQ(child.Wait(), -1);  // nothing left to wait for
    }
}

TEST(ChildProcess, StartFailuresLeaveTheHolderEmpty) {
    ChildProcess child;
    std::string error;
    EXPECT_FALSE(child.Start("/nonexistent/program", {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(child.running());
    ASSERT_TRUE(child.Start(kShell, {"-c", "sleep 5"}));
    EXPECT_FALSE(child.Start(kShell, {"-c", "exit 0"}, &error));  // one child per holder
    EXPECT_TRUE(child.running());
}

TEST(ChildProcess, StopAsksFirstAndForcesAfterTheGrace) {
    {
        // Stops on the request with exit code 0.
        ChildProcess child;
        ASSERT_TRUE(
            child.Start(kShell, {"-c", "trap 'exit 0' TERM; while :; do sleep 0.02; done"}));
        std::this_thread::sleep_for(100ms);  // the trap is set
        EXPECT_FALSE(child.Poll());
        EXPECT_EQ(child.Stop(), ChildProcess::StopOutcome::kExitedOnRequest);
        EXPECT_FALSE(child.running());
        EXPECT_EQ(child.Stop(), ChildProcess::StopOutcome::kNoChild);
    }
    {
        // Ignores the request: ended by force after the grace, not "clean".
        ChildProcess child;
        ASSERT_TRUE(child.Start(kShell, {"-c", "trap '' TERM; while :; do sleep 0.02; done"}));
        std::this_thread::sleep_for(100ms);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(child.Stop(200ms), ChildProcess::StopOutcome::kFailed);
        EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
        EXPECT_FALSE(child.running());
    }
    {
        // Exits 3 on the request: stopped, but not cleanly.
        ChildProcess child;
        ASSERT_TRUE(
            child.Start(kShell, {"-c", "trap 'exit 3' TERM; while :; do sleep 0.02; done"}));
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(child.Stop(), ChildProcess::StopOutcome::kFailed);
    }
}

TEST(ChildProcess, TheHolderStopsItsChildAndMovesIt) {
    corvo::test::ScratchDirectory dir("corvo-child-");
    const std::string marker = (dir.path() / "alive").string();
    const std::string script = "echo $$ > '" + marker + "'; exec sleep 30";
    pid_t pid = 0;
    {
        ChildProcess first;
        ASSERT_TRUE(first.Start(kShell, {"-c", script}));
        ChildProcess second(std::move(first));
        EXPECT_FALSE(first.running());
        EXPECT_TRUE(second.running());
        for (int i = 0; i < 200 && pid == 0; ++i) {
            std::this_thread::sleep_for(10ms);
            std::ifstream(marker) >> pid;
        }
        ASSERT_GT(pid, 0);
    }
    // Collected by the holder: no such process any more.
    EXPECT_NE(::kill(pid, 0), 0);
}

TEST(ProgramFile, SearchAndOwnPath) {
    EXPECT_TRUE(corvo::platform::FindProgramOnPath("sh"));
    EXPECT_FALSE(corvo::platform::FindProgramOnPath("corvo-no-such-program"));
    EXPECT_FALSE(corvo::platform::FindProgramOnPath("/bin/sh"));  // names only
    EXPECT_FALSE(corvo::platform::FindProgramOnPath(""));
    const auto self = corvo::platform::RunningProgramPath();
    ASSERT_TRUE(self);
    EXPECT_TRUE(self->is_absolute());
    EXPECT_EQ(self->filename(), "test_platform");
    EXPECT_EQ(corvo::platform::ProgramFileName("corvo-imclient"), "corvo-imclient");
}

TEST(PrivateSession, MovesRegistryAndEndpointsAndRestoresThem) {
    ::setenv("CORVO_REGISTRY", "/before/registry.reg", 1);
    ::unsetenv("CORVO_IM_DIR");
    {
        corvo::platform::PrivateSession session("/run/x");
        EXPECT_TRUE(session.privateRegistry());
        EXPECT_STREQ(std::getenv("CORVO_REGISTRY"), "/run/x/registry.reg");
        EXPECT_STREQ(std::getenv("CORVO_IM_DIR"), "/run/x/im");
    }
    EXPECT_STREQ(std::getenv("CORVO_REGISTRY"), "/before/registry.reg");
    EXPECT_EQ(std::getenv("CORVO_IM_DIR"), nullptr);
    ::unsetenv("CORVO_REGISTRY");
}

}  // namespace
