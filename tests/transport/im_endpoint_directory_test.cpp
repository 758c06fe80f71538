#include "platform/posix/im_endpoint_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "transport_test_support.h"

namespace corvo::platform {
namespace {

using Mode = ImEndpointDirectory::Mode;

class ImEndpointDirectoryTest : public testing::TransportTest {};

TEST_F(ImEndpointDirectoryTest, PathFollowsTheEnvironment) {
    const std::string fallback = "/tmp/corvo-im-" + std::to_string(geteuid());
    struct Case {
        const char* imDir;
        const char* runtimeDir;
        std::string expected;
    } cases[] = {
        {"/a/im", "/run/user/7", "/a/im"},
        {nullptr, "/run/user/7", "/run/user/7/corvo-im"},
        {"", "/run/user/7", "/run/user/7/corvo-im"},
        {nullptr, nullptr, fallback},
        {"", "", fallback},
    };
    const char* savedRuntime = getenv("XDG_RUNTIME_DIR");
    const std::string runtimeCopy = savedRuntime ? savedRuntime : "";
    for (const auto& c : cases) {
        c.imDir ? setenv("CORVO_IM_DIR", c.imDir, 1) : unsetenv("CORVO_IM_DIR");
        c.runtimeDir ? setenv("XDG_RUNTIME_DIR", c.runtimeDir, 1) : unsetenv("XDG_RUNTIME_DIR");
        EXPECT_EQ(ImEndpointDirectoryPath(), c.expected);
    }
    savedRuntime ? setenv("XDG_RUNTIME_DIR", runtimeCopy.c_str(), 1) : unsetenv("XDG_RUNTIME_DIR");
}

TEST_F(ImEndpointDirectoryTest, CreatedPrivateWhenMissingOnlyOnRequest) {
    errno = 0;
    EXPECT_FALSE(ImEndpointDirectory::Open(Mode::kOpenExisting));
    EXPECT_EQ(errno, ENOENT);

    const mode_t oldMask = umask(0);  // the mode must not depend on the umask
    auto directory = ImEndpointDirectory::Open(Mode::kCreateIfMissing);
    umask(oldMask);
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->path(), imDir_);
    struct stat st;
    ASSERT_EQ(stat(imDir_.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    EXPECT_TRUE(ImEndpointDirectory::Open(Mode::kOpenExisting));
}

TEST_F(ImEndpointDirectoryTest, RefusesDirectoriesOthersControl) {
    const std::string good = root_ + "/good";
    ASSERT_EQ(mkdir(good.c_str(), 0700), 0);
    struct Case {
        const char* what;
        void (*make)(const std::string& path, const std::string& good);
    } cases[] = {
        {"group-writable",
         [](const std::string& p, const std::string&) {
             mkdir(p.c_str(), 0700);
             chmod(p.c_str(), 0770);
         }},
        {"other-writable",
         [](const std::string& p, const std::string&) {
             mkdir(p.c_str(), 0700);
             chmod(p.c_str(), 0703);
         }},
        {"sticky world-writable",
         [](const std::string& p, const std::string&) {
             mkdir(p.c_str(), 0700);
             chmod(p.c_str(), 01777);
         }},
        {"symbolic link to a good directory",
         [](const std::string& p, const std::string& g) { (void)!symlink(g.c_str(), p.c_str()); }},
        {"regular file",
         [](const std::string& p, const std::string&) {
             close(open(p.c_str(), O_CREAT | O_WRONLY, 0600));
         }},
        {"foreign owner",
         [](const std::string& p, const std::string&) {
             mkdir(p.c_str(), 0700);
             (void)!chown(p.c_str(), geteuid() + 4242, getegid());
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = root_ + "/case" + std::to_string(n++);
        c.make(path, good);
        if (std::string(c.what) == "foreign owner") {
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || st.st_uid == geteuid()) continue;  // not root
        }
        for (Mode mode : {Mode::kOpenExisting, Mode::kCreateIfMissing}) {
            errno = 0;
            EXPECT_FALSE(ImEndpointDirectory::Open(path, mode)) << c.what;
            EXPECT_EQ(errno, EPERM) << c.what;
        }
    }
    EXPECT_TRUE(ImEndpointDirectory::Open(good, Mode::kOpenExisting));
}

TEST_F(ImEndpointDirectoryTest, MissingParentIsNotCreated) {
    const std::string path = root_ + "/no/such/parent";
    errno = 0;
    EXPECT_FALSE(ImEndpointDirectory::Open(path, Mode::kCreateIfMissing));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(ImEndpointDirectory::Open("", Mode::kCreateIfMissing));
}

}  // namespace
}  // namespace corvo::platform
