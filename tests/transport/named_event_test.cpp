#include "platform/posix/named_event.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/shared_memory.h"
#include "transport_test_support.h"

namespace corvo::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using WaitResult = NamedEvent::WaitResult;

class NamedEventTest : public testing::TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        ASSERT_TRUE(ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kCreateIfMissing));
    }
    void TearDown() override {
        // No event outlives its test.
        for (const auto& entry : std::filesystem::directory_iterator(ExchangeObjectDirectoryPath()))
            ADD_FAILURE() << "left behind: " << entry.path();
        TransportTest::TearDown();
    }

    // A name no other test process uses.
    std::u16string UniqueName(std::u16string_view tag) {
        const std::string suffix = std::to_string(getpid()) + "-" + std::to_string(counter_++);
        return u"{corvo-event-test}" + std::u16string(tag) +
               std::u16string(suffix.begin(), suffix.end());
    }

    static bool EventFileExists(const std::string& objectName) {
        return access((ExchangeObjectDirectoryPath() + objectName).c_str(), F_OK) == 0;
    }

    int counter_ = 0;
};

TEST_F(NamedEventTest, AutoResetOneSignalReleasesOneWait) {
    auto event = NamedEvent::Create(UniqueName(u"auto"));
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->created());
    EXPECT_EQ(event->Wait(0), WaitResult::kTimedOut);  // created not signalled
    EXPECT_TRUE(event->Set());
    EXPECT_TRUE(event->Set());  // already signalled: stays signalled once
    EXPECT_EQ(event->Wait(0), WaitResult::kSignaled);
    EXPECT_EQ(event->Wait(0), WaitResult::kTimedOut);
    EXPECT_TRUE(event->Set());
    EXPECT_EQ(event->Wait(kInfiniteWait), WaitResult::kSignaled);
    EXPECT_EQ(event->Wait(0), WaitResult::kTimedOut);
}

TEST_F(NamedEventTest, WaitTimesOutAfterItsTime) {
    auto event = NamedEvent::Create(UniqueName(u"timeout"));
    ASSERT_TRUE(event);
    for (uint32_t ms : {1u, 150u, 999u, 1001u}) {
        const auto start = Clock::now();
        EXPECT_EQ(event->Wait(ms), WaitResult::kTimedOut);
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms));
    }
}

TEST_F(NamedEventTest, SignalFromAnotherProcessByName) {
    const std::u16string name = UniqueName(u"cross");
    auto event = NamedEvent::Create(name);
    ASSERT_TRUE(event);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::this_thread::sleep_for(100ms);
        auto opened = NamedEvent::Open(name);
        const bool ok = opened && !opened->created() && opened->Set();
        _exit(ok ? 0 : 1);
    }
    EXPECT_EQ(event->Wait(3000), WaitResult::kSignaled);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(event->Wait(0), WaitResult::kTimedOut);
}

TEST_F(NamedEventTest, CreatorRemovesTheNameOthersDoNot) {
    const std::u16string name = UniqueName(u"life");
    std::string objectName;
    {
        auto creator = NamedEvent::Create(name);
        ASSERT_TRUE(creator);
        objectName = creator->objectName();
        EXPECT_TRUE(EventFileExists(objectName));
        {
            auto second = NamedEvent::Create(name);  // opens the existing event
            ASSERT_TRUE(second);
            EXPECT_FALSE(second->created());
            auto opened = NamedEvent::Open(name);
            ASSERT_TRUE(opened);
            EXPECT_TRUE(opened->Set());
            EXPECT_EQ(second->Wait(0), WaitResult::kSignaled);  // one object
        }
        EXPECT_TRUE(EventFileExists(objectName));
    }
    EXPECT_FALSE(EventFileExists(objectName));
    errno = 0;
    EXPECT_FALSE(NamedEvent::Open(name));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(NamedEventTest, NameTakenByABlockCannotBeAnEvent) {
    const std::u16string name = UniqueName(u"clash/用");
    {
        auto block = SharedMemory::Create(name, 8208);
        ASSERT_TRUE(block);
        errno = 0;
        EXPECT_FALSE(NamedEvent::Create(name));
        EXPECT_EQ(errno, EEXIST);
        // The name still holds the block, untouched.
        EXPECT_TRUE(
            std::filesystem::is_regular_file(ExchangeObjectDirectoryPath() + block->objectName()));
    }
    auto event = NamedEvent::Create(name);
    ASSERT_TRUE(event);
    EXPECT_NE(event->objectName().find("clash%2F%E7%94%A8"), std::string::npos);
}

TEST_F(NamedEventTest, NamesWithoutAnObjectNameFailCleanly) {
    struct Case {
        std::u16string name;
        int error;
    } cases[] = {
        {u"", EINVAL},
        {u".", EINVAL},
        {std::u16string(1, char16_t(0xD800)), EINVAL},
        {std::u16string(256, u'a'), ENAMETOOLONG},
    };
    for (const auto& c : cases) {
        errno = 0;
        EXPECT_FALSE(NamedEvent::Create(c.name)) << c.name.size();
        EXPECT_EQ(errno, c.error) << c.name.size();
        EXPECT_FALSE(NamedEvent::Open(c.name));
    }
    auto longest =
        NamedEvent::Create(std::u16string(255 - 20, u'b') + UniqueName(u"").substr(0, 20));
    EXPECT_TRUE(longest);
}

TEST_F(NamedEventTest, MovedHolderKeepsOwnership) {
    const std::u16string name = UniqueName(u"move");
    auto event = NamedEvent::Create(name);
    ASSERT_TRUE(event);
    const std::string objectName = event->objectName();
    NamedEvent moved = std::move(*event);
    event.reset();
    EXPECT_TRUE(EventFileExists(objectName));
    EXPECT_TRUE(moved.Set());
    EXPECT_EQ(moved.Wait(0), WaitResult::kSignaled);
    moved = std::move(*NamedEvent::Create(UniqueName(u"other")));
    EXPECT_FALSE(EventFileExists(objectName));
}

}  // namespace
}  // namespace corvo::platform
