// Blocks and events in the user's private object directory: what a creator
// makes, what an opener accepts, and what a killed creator leaves behind.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>

#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/named_event.h"
#include "platform/posix/shared_memory.h"
#include "transport_test_support.h"

namespace corvo::platform {
namespace {

class ExchangeObjectTest : public testing::TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        ASSERT_TRUE(ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kCreateIfMissing));
        objects_ = ExchangeObjectDirectoryPath();
    }
    std::string PathOf(std::u16string_view name) const {
        return objects_ + "/" + *ExchangeObjectFileName(name);
    }
    // A block created by a child process that is then killed with SIGKILL:
    // its file stays, with `fill` in its first bytes.
    void LeaveStaleBlock(std::u16string_view name, char fill) {
        int ready[2];
        ASSERT_EQ(pipe(ready), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto block = SharedMemory::Create(name, 8208);
            const uint8_t bytes[4] = {uint8_t(fill), uint8_t(fill), uint8_t(fill), uint8_t(fill)};
            const char ok = block && block->WriteAt(0, bytes) ? 1 : 0;
            [[maybe_unused]] auto n = write(ready[1], &ok, 1);
            pause();
            _exit(0);
        }
        close(ready[1]);
        char ok = 0;
        EXPECT_EQ(read(ready[0], &ok, 1), 1);
        close(ready[0]);
        EXPECT_EQ(ok, 1);
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_TRUE(std::filesystem::exists(PathOf(name)));
    }
    std::string objects_;
};

TEST_F(ExchangeObjectTest, WhatACreatorMakesIsPrivateLiveAndRemovedWithItsHolder) {
    const std::u16string block = u"{block}one", event = u"{event}one";
    // Whatever the umask, the objects get mode 0600 and stay usable.
    for (const mode_t mask : {mode_t(022), mode_t(0277)}) {
        SCOPED_TRACE(mask);
        const mode_t oldMask = umask(mask);
        auto memory = SharedMemory::Create(block, 8208);
        auto signal = NamedEvent::Create(event);
        umask(oldMask);
        ASSERT_TRUE(memory);
        ASSERT_TRUE(signal);
        for (const auto& [name, isFifo] : {std::pair{block, false}, std::pair{event, true}}) {
            struct stat st;
            ASSERT_EQ(lstat(PathOf(name).c_str(), &st), 0);
            EXPECT_EQ(st.st_uid, geteuid());
            EXPECT_EQ(st.st_mode & 07777, 0600u);
            EXPECT_EQ(S_ISFIFO(st.st_mode), isFifo);
        }
        EXPECT_EQ(memory->Size(), 8208u);
        auto reader = SharedMemory::Open(block, SharedMemory::Access::kReadOnly);
        ASSERT_TRUE(reader);
        EXPECT_TRUE(IsBlockHeld(reader->fd()));
        EXPECT_TRUE(signal->Set());
        EXPECT_EQ(signal->Wait(0), NamedEvent::WaitResult::kSignaled);
        reader.reset();
        memory.reset();
        signal.reset();
        EXPECT_FALSE(std::filesystem::exists(PathOf(block)));
        EXPECT_FALSE(std::filesystem::exists(PathOf(event)));
    }
}

// Without /proc an unnamed file cannot be linked to its name: the block is
// made under a temporary name instead. A child process in its own user and
// mount namespace hides /proc; where namespaces are not allowed the test is
// skipped.
TEST_F(ExchangeObjectTest, WithoutProcABlockIsMadeUnderATemporaryName) {
    const std::u16string name = u"{block}noproc";
    const uid_t uid = geteuid();
    const gid_t gid = getegid();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto write = [](const char* path, const std::string& text) {
            const int fd = open(path, O_WRONLY);
            const bool ok =
                fd >= 0 && ::write(fd, text.data(), text.size()) == ssize_t(text.size());
            if (fd >= 0) close(fd);
            return ok;
        };
        if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0 ||
            !write("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n") ||
            !write("/proc/self/setgroups", "deny") ||
            !write("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n") ||
            mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("none", "/proc", "tmpfs", 0, nullptr) != 0)
            _exit(77);
        bool ok = false;
        {
            auto block = SharedMemory::Create(name, 8208);
            const uint8_t bytes[2] = {'o', 'k'};
            ok = block && block->WriteAt(0, bytes) &&
                 SharedMemory::Open(name, SharedMemory::Access::kReadOnly);
        }
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << "no user and mount namespaces here";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no block could be made without /proc";
    EXPECT_FALSE(std::filesystem::exists(PathOf(name)));
}

TEST_F(ExchangeObjectTest, ALiveNameIsNeverTakenOverAStaleOneIsReplacedFresh) {
    const std::u16string name = u"{2ED4D0E1-006A-46f4-8089-8E846CF16DF2}cnmarketkilled";
    {
        auto live = SharedMemory::Create(name, 8208);
        ASSERT_TRUE(live);
        errno = 0;
        EXPECT_FALSE(SharedMemory::Create(name, 8208));
        EXPECT_EQ(errno, EEXIST);
        EXPECT_FALSE(NamedEvent::Create(name));
        EXPECT_EQ(errno, EEXIST);
    }
    LeaveStaleBlock(name, 'S');
    errno = 0;
    EXPECT_FALSE(SharedMemory::Open(name, SharedMemory::Access::kReadOnly));
    EXPECT_EQ(errno, ENOENT);  // nobody holds it: never read as live
    auto fresh = SharedMemory::Create(name, 8208);
    ASSERT_TRUE(fresh);
    uint8_t first[4] = {1, 1, 1, 1};
    ASSERT_TRUE(fresh->ReadAt(0, first));
    EXPECT_EQ(first[0] | first[1] | first[2] | first[3], 0);  // not the killed creator's bytes
}

// Objects planted in the directory by hand: only a live, private object of
// the right kind is ever opened.
TEST_F(ExchangeObjectTest, OpenersRefuseWhatIsNotAPrivateLiveObjectOfTheirKind) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> plant;
        int blockErrno;  // of SharedMemory::Open; 0: opens
        int eventErrno;  // of NamedEvent::Open
    };
    std::vector<SharedMemory> keep;      // live blocks the cases point at
    std::vector<NamedEvent> keepEvents;  // live events likewise
    auto liveBlock = [&](const std::string& path, mode_t mode) {
        const std::u16string name = u"{target}" + std::u16string(1, char16_t(u'a' + keep.size()));
        keep.push_back(*SharedMemory::Create(name, 8208));
        ASSERT_EQ(chmod(PathOf(name).c_str(), mode), 0);
        ASSERT_EQ(link(PathOf(name).c_str(), path.c_str()), 0);
    };
    auto liveEvent = [&](const std::string& path, mode_t mode) {
        const std::u16string name =
            u"{evt}" + std::u16string(1, char16_t(u'a' + keepEvents.size()));
        keepEvents.push_back(*NamedEvent::Create(name));
        ASSERT_EQ(chmod(PathOf(name).c_str(), mode), 0);
        ASSERT_EQ(rename(PathOf(name).c_str(), path.c_str()), 0);
    };
    const Case cases[] = {
        {"live private block", [&](auto& p) { liveBlock(p, 0600); }, 0, EEXIST},
        {"block readable by group", [&](auto& p) { liveBlock(p, 0640); }, EPERM, EEXIST},
        {"block writable by others", [&](auto& p) { liveBlock(p, 0602); }, EPERM, EEXIST},
        {"unlocked file (stale)", [](auto& p) { close(open(p.c_str(), O_CREAT | O_WRONLY, 0600)); },
         ENOENT, EEXIST},
        {"symbolic link to a live block",
         [&](auto& p) {
             liveBlock(p + ".target", 0600);
             ASSERT_EQ(symlink((p + ".target").c_str(), p.c_str()), 0);
         },
         EPERM, EPERM},
        {"directory", [](auto& p) { ASSERT_EQ(mkdir(p.c_str(), 0700), 0); }, EISDIR, EISDIR},
        {"live private event", [&](auto& p) { liveEvent(p, 0600); }, EPERM, 0},
        {"event writable by others", [&](auto& p) { liveEvent(p, 0622); }, EPERM, EPERM},
        {"event nobody waits on", [](auto& p) { ASSERT_EQ(mkfifo(p.c_str(), 0600), 0); }, EPERM,
         ENOENT},
        {"nothing", [](auto&) {}, ENOENT, ENOENT},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::u16string name = u"{planted}" + std::u16string(1, char16_t(u'A' + index++));
        c.plant(PathOf(name));
        errno = 0;
        const bool block = SharedMemory::Open(name, SharedMemory::Access::kReadWrite).has_value();
        EXPECT_EQ(block ? 0 : errno, c.blockErrno);
        errno = 0;
        const bool event = NamedEvent::Open(name).has_value();
        EXPECT_EQ(event ? 0 : errno, c.eventErrno);
    }
    keep.clear();
    keepEvents.clear();
    std::filesystem::remove_all(objects_);
    std::filesystem::create_directory(objects_);
}

TEST_F(ExchangeObjectTest, AnObjectDirectoryThatIsNotPrivateIsNeverUsed) {
    struct Case {
        const char* what;
        std::function<void()> make;
        int error;
    } cases[] = {
        {"missing", [&] { std::filesystem::remove(objects_); }, ENOENT},
        {"writable by others",
         [&] {
             ASSERT_EQ(mkdir(objects_.c_str(), 0700), 0);
             ASSERT_EQ(chmod(objects_.c_str(), 0777), 0);
         },
         EPERM},
        {"symbolic link to a private directory",
         [&] {
             ASSERT_EQ(mkdir((root_ + "/elsewhere").c_str(), 0700), 0);
             ASSERT_EQ(symlink((root_ + "/elsewhere").c_str(), objects_.c_str()), 0);
         },
         EPERM},
        {"a file", [&] { close(open(objects_.c_str(), O_CREAT | O_WRONLY, 0600)); }, EPERM},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(objects_);
        c.make();
        errno = 0;
        EXPECT_FALSE(SharedMemory::Create(u"{x}", 8208));
        EXPECT_EQ(errno, c.error);
        errno = 0;
        EXPECT_FALSE(NamedEvent::Create(u"{y}"));
        EXPECT_EQ(errno, c.error);
        EXPECT_FALSE(SharedMemory::Open(u"{x}", SharedMemory::Access::kReadOnly));
    }
    std::filesystem::remove_all(objects_);
    std::filesystem::remove_all(root_ + "/elsewhere");
    std::filesystem::create_directory(objects_);
}

TEST_F(ExchangeObjectTest, TheSweepRemovesWhatIsNoLongerLiveAndNothingElse) {
    LeaveStaleBlock(u"{stale}block", 'x');
    auto live = SharedMemory::Create(u"{live}block", 8208);
    auto waiting = NamedEvent::Create(u"{live}event");
    ASSERT_TRUE(live && waiting);
    // An event nobody waits on: young ones may be in the middle of being set
    // up, old ones are left over.
    ASSERT_EQ(mkfifo(PathOf(u"{young}event").c_str(), 0600), 0);
    ASSERT_EQ(mkfifo(PathOf(u"{old}event").c_str(), 0600), 0);
    const timespec old[2] = {{time(nullptr) - 60, 0}, {time(nullptr) - 60, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, PathOf(u"{old}event").c_str(), old, 0), 0);

    auto directory = OpenExchangeObjectDirectory();
    ASSERT_TRUE(directory);
    RemoveStaleExchangeObjects(directory->get());
    EXPECT_FALSE(std::filesystem::exists(PathOf(u"{stale}block")));
    EXPECT_FALSE(std::filesystem::exists(PathOf(u"{old}event")));
    EXPECT_TRUE(std::filesystem::exists(PathOf(u"{live}block")));
    EXPECT_TRUE(std::filesystem::exists(PathOf(u"{live}event")));
    EXPECT_TRUE(std::filesystem::exists(PathOf(u"{young}event")));
    unlink(PathOf(u"{young}event").c_str());
}

}  // namespace
}  // namespace corvo::platform
