#include "platform/posix/copy_data_channel.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/im_window.h"
#include "platform/posix/published_window.h"
#include "platform/posix/window_registry.h"
#include "transport_test_support.h"

namespace corvo::platform {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::u16string_view kClass = u"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}";

std::vector<uint8_t> Utf16LeWithTerminator(std::u16string_view line) {
    std::vector<uint8_t> bytes;
    for (char16_t unit : line) {
        bytes.push_back(uint8_t(unit));
        bytes.push_back(uint8_t(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

class CopyDataChannelTest : public testing::TransportTest {
  protected:
    void SetUp() override {
        TransportTest::SetUp();
        auto window = PublishedWindow::Publish(WindowKind::kTopLevel, kClass, u"cnmarketalice");
        ASSERT_TRUE(window);
        window_.emplace(std::move(*window));
    }
    void TearDown() override {
        window_.reset();
        TransportTest::TearDown();
    }

    SendResult Send(std::span<const uint8_t> data, uint64_t wParam = 0, uint64_t dwData = 1,
                    std::chrono::milliseconds timeout = 2000ms) {
        return SendCopyDataTimeout(window_->id(), wParam, dwData, data, timeout);
    }

    // A raw client connection to the window's socket.
    UniqueFd ConnectRaw() {
        UniqueFd fd(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string path = imDir_ + "/" + WindowSocketFileName(window_->id());
        std::strcpy(address.sun_path, path.c_str());
        EXPECT_EQ(connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        return fd;
    }

    std::optional<PublishedWindow> window_;
};

TEST_F(CopyDataChannelTest, DeliversByteForByteAndReturnsTheResult) {
    std::vector<uint8_t> large(kMaxCopyDataBytes);
    for (size_t i = 0; i < large.size(); ++i) large[i] = uint8_t(i * 131 + 7);
    const std::u16string line = std::u16string(kClass) +
                                u"Corvo:reqssologin?&fname={0F8E3A3C-0000-4000-8000-000000000001}"
                                u"&ename={0F8E3A3C-0000-4000-8000-000000000002}&fsize=8208";
    struct Case {
        std::vector<uint8_t> data;
        uint64_t wParam, dwData;
        int64_t result;
    } cases[] = {
        {Utf16LeWithTerminator(line), 0, 1, 1},
        {{}, 0, 1, 0},
        {{0}, 7, 0, -1},
        {{0xFF, 0x00, 0x4A}, UINT64_MAX, UINT64_MAX, INT64_MIN},
        {large, 0, 1, INT64_MAX},
    };
    for (const auto& c : cases) {
        CopyDataMessage received;
        std::thread peer([&] {
            EXPECT_EQ(window_->ServeOne(
                          [&](const CopyDataMessage& m) {
                              received = m;
                              return c.result;
                          },
                          5000),
                      ServeOutcome::kServed);
        });
        const SendResult sent = Send(c.data, c.wParam, c.dwData);
        peer.join();
        EXPECT_EQ(sent.outcome, SendOutcome::kSent);
        EXPECT_EQ(sent.result, c.result);
        EXPECT_EQ(received.data, c.data);
        EXPECT_EQ(received.wParam, c.wParam);
        EXPECT_EQ(received.dwData, c.dwData);
    }
    // One byte too many is refused before anything is sent.
    large.push_back(0);
    EXPECT_EQ(Send(large).outcome, SendOutcome::kFailed);
    EXPECT_EQ(window_->ServeOne([](const CopyDataMessage&) { return 0; }, 0), ServeOutcome::kIdle);
}

TEST_F(CopyDataChannelTest, PeerInAnotherProcess) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto outcome = window_->ServeOne(
            [](const CopyDataMessage& m) { return int64_t(m.data.size() * 1000 + m.dwData); },
            5000);
        _exit(outcome == ServeOutcome::kServed ? 0 : 1);
    }
    const std::vector<uint8_t> data(300, 0x5A);
    const SendResult sent = Send(data);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(sent.outcome, SendOutcome::kSent);
    EXPECT_EQ(sent.result, 300001);
}

TEST_F(CopyDataChannelTest, HungPeerTimesOutWithinTheBound) {
    // The endpoint is published but nobody ever accepts or reads.
    const std::vector<uint8_t> data = Utf16LeWithTerminator(u"hello");
    const auto start = Clock::now();
    const SendResult sent = Send(data);
    const auto elapsed = Clock::now() - start;
    EXPECT_EQ(sent.outcome, SendOutcome::kTimedOut);
    EXPECT_GE(elapsed, 2000ms);
    EXPECT_LT(elapsed, 4000ms);
}

TEST_F(CopyDataChannelTest, PeerThatHandlesTooSlowlyTimesOutAndSurvivesTheLateReply) {
    std::atomic<ServeOutcome> outcome{ServeOutcome::kFailed};
    std::thread peer([&] {
        outcome = window_->ServeOne(
            [](const CopyDataMessage&) {
                std::this_thread::sleep_for(400ms);
                return 1;
            },
            5000);
    });
    const auto start = Clock::now();
    const SendResult sent = Send({}, 0, 1, 100ms);
    const auto elapsed = Clock::now() - start;
    peer.join();  // its reply goes to a closed connection: EPIPE, not SIGPIPE
    EXPECT_EQ(sent.outcome, SendOutcome::kTimedOut);
    EXPECT_GE(elapsed, 100ms);
    EXPECT_EQ(outcome.load(), ServeOutcome::kServed);
}

TEST_F(CopyDataChannelTest, PeerThatClosesWithoutReplyingFails) {
    for (bool readFirst : {false, true}) {
        std::thread peer([&] {
            UniqueFd connection;
            pollfd p{window_->listenFd(), POLLIN, 0};
            ASSERT_EQ(poll(&p, 1, 5000), 1);
            connection.Reset(accept4(window_->listenFd(), nullptr, nullptr, SOCK_CLOEXEC));
            ASSERT_TRUE(connection);
            if (readFirst) {
                uint8_t buffer[64];
                EXPECT_GT(recv(connection.get(), buffer, sizeof buffer, 0), 0);
            }
        });
        const auto start = Clock::now();
        const SendResult sent = Send(Utf16LeWithTerminator(u"x"));
        peer.join();
        EXPECT_EQ(sent.outcome, SendOutcome::kFailed) << readFirst;
        EXPECT_LT(Clock::now() - start, 1500ms);
    }
}

TEST_F(CopyDataChannelTest, ReceiverDropsMalformedRequests) {
    const std::vector<std::vector<uint8_t>> packets = {
        {},
        {0x4A, 0, 0, 0},
        *EncodeCopyDataRequest(0, 1, std::vector<uint8_t>(3, 1)),
    };
    for (size_t i = 0; i < packets.size(); ++i) {
        auto packet = packets[i];
        if (i == 2) packet.pop_back();  // cbData says 3, two bytes follow
        UniqueFd client = ConnectRaw();
        if (!packet.empty())
            ASSERT_EQ(send(client.get(), packet.data(), packet.size(), MSG_NOSIGNAL),
                      ssize_t(packet.size()));
        else
            client.Reset();  // connects and goes away without a packet
        bool called = false;
        EXPECT_EQ(window_->ServeOne(
                      [&](const CopyDataMessage&) {
                          called = true;
                          return 0;
                      },
                      1000),
                  ServeOutcome::kRejected)
            << i;
        EXPECT_FALSE(called);
    }
}

TEST_F(CopyDataChannelTest, RefusesSocketsOthersControl) {
    const std::string socketPath = imDir_ + "/" + WindowSocketFileName(window_->id());
    struct stat st;
    ASSERT_EQ(lstat(socketPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const std::vector<uint8_t> data = {1, 2, 3};
    for (mode_t mode : {0620, 0602, 0666}) {
        ASSERT_EQ(chmod(socketPath.c_str(), mode), 0);
        EXPECT_EQ(Send(data).outcome, SendOutcome::kFailed) << mode;
    }
    ASSERT_EQ(chmod(socketPath.c_str(), 0600), 0);
    if (chown(socketPath.c_str(), geteuid() + 4242, getegid()) == 0 &&
        lstat(socketPath.c_str(), &st) == 0 && st.st_uid != geteuid()) {
        EXPECT_EQ(Send(data).outcome, SendOutcome::kFailed);
        ASSERT_EQ(chown(socketPath.c_str(), geteuid(), getegid()), 0);
    }
    // A link in the socket's place is not followed, even to a good socket.
    auto other = PublishedWindow::Publish(WindowKind::kTopLevel, kClass, u"other");
    ASSERT_TRUE(other);
    ASSERT_EQ(rename(socketPath.c_str(), (socketPath + ".moved").c_str()), 0);
    ASSERT_EQ(
        symlink((imDir_ + "/" + WindowSocketFileName(other->id())).c_str(), socketPath.c_str()), 0);
    EXPECT_EQ(Send(data).outcome, SendOutcome::kFailed);
    unlink((socketPath + ".moved").c_str());
}

TEST_F(CopyDataChannelTest, MissingSocketOrWindowFails) {
    EXPECT_EQ(SendCopyDataTimeout(window_->id() + 100, 0, 1, {}, 2000ms).outcome,
              SendOutcome::kFailed);
    unlink((imDir_ + "/" + WindowSocketFileName(window_->id())).c_str());
    EXPECT_EQ(Send({}).outcome, SendOutcome::kFailed);
    window_->Unpublish();
    EXPECT_EQ(DirectoryEntries(), std::vector<std::string>{"sequence"});
}

TEST(CopyDataPacketTest, LayoutIsFixed) {
    const uint8_t data[] = {0xAB, 0xCD};
    EXPECT_EQ(*EncodeCopyDataRequest(0x0102030405060708, 1, data),
              (std::vector<uint8_t>{0x4A, 0, 0, 0, 0, 0, 0, 0, 8, 7, 6, 5, 4, 3, 2, 1,    1,
                                    0,    0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0xAB, 0xCD}));
    EXPECT_EQ(EncodeCopyDataReply(-2), (std::vector<uint8_t>{0x4A, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF,
                                                             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    auto reply = EncodeCopyDataReply(5);
    EXPECT_EQ(DecodeCopyDataReply(reply), 5);
    reply[4] = 1;
    EXPECT_FALSE(DecodeCopyDataReply(reply));
    reply.pop_back();
    EXPECT_FALSE(DecodeCopyDataReply(reply));
}

}  // namespace
}  // namespace corvo::platform
