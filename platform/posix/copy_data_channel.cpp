#include "platform/posix/copy_data_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

namespace corvo::platform {
namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`, rounded up, never negative.
int RemainingMs(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    return int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
}

// Waits until `fd` reports `events`: nothing when it does, otherwise the
// outcome that ends the delivery (the deadline passed, or poll failed).
std::optional<SendOutcome> AwaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = poll(&p, 1, RemainingMs(deadline));
        if (n > 0) return std::nullopt;  // errors and hang-ups show in the next call
        if (n == 0) {
            if (Clock::now() >= deadline) return SendOutcome::kTimedOut;
            return std::nullopt;
        }
        if (errno != EINTR) return SendOutcome::kFailed;
    }
}

std::optional<sockaddr_un> SocketAddress(const ImEndpointDirectory& directory,
                                         std::string_view socketName) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = directory.path() + "/" + std::string(socketName);
    if (path.size() >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return std::nullopt;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return address;
}

bool PeerIsSameUser(int fd) {
    ucred credentials{};
    socklen_t length = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) == 0 &&
           credentials.uid == geteuid();
}

SendResult Outcome(SendOutcome outcome) {
    return SendResult{outcome, 0};
}

SendOutcome ConnectBefore(int fd, const sockaddr_un& address, Clock::time_point deadline) {
    for (;;) {
        if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return SendOutcome::kSent;
        if (errno == EAGAIN) {
            // The listener's backlog is full: it is not accepting. Try again
            // shortly, within the bound.
            if (RemainingMs(deadline) == 0) return SendOutcome::kTimedOut;
            std::this_thread::sleep_for(
                std::min<Clock::duration>(std::chrono::milliseconds(10), deadline - Clock::now()));
            continue;
        }
        if (errno != EINPROGRESS && errno != EINTR) return SendOutcome::kFailed;
        if (const auto stop = AwaitReady(fd, POLLOUT, deadline)) return *stop;
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
            return SendOutcome::kFailed;
        return SendOutcome::kSent;
    }
}

SendOutcome SendBefore(int fd, std::span<const uint8_t> packet, Clock::time_point deadline) {
    for (;;) {
        const ssize_t n = send(fd, packet.data(), packet.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n == ssize_t(packet.size())) return SendOutcome::kSent;
        if (n >= 0 || (errno != EAGAIN && errno != EINTR)) return SendOutcome::kFailed;
        if (errno == EAGAIN) {
            if (const auto stop = AwaitReady(fd, POLLOUT, deadline)) return *stop;
        }
    }
}

SendResult ReceiveReplyBefore(int fd, Clock::time_point deadline) {
    for (;;) {
        if (const auto stop = AwaitReady(fd, POLLIN, deadline)) return Outcome(*stop);
        uint8_t reply[kCopyDataReplySize + 1];
        const ssize_t n = recv(fd, reply, sizeof reply, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return Outcome(SendOutcome::kFailed);  // closed without answering
        const auto result = DecodeCopyDataReply(std::span(reply, size_t(n)));
        if (!result) return Outcome(SendOutcome::kFailed);
        return SendResult{SendOutcome::kSent, *result};
    }
}

}  // namespace

SendResult DeliverCopyData(const ImEndpointDirectory& directory, std::string_view socketName,
                           uint64_t wParam, uint64_t dwData, std::span<const uint8_t> data,
                           std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    const auto packet = EncodeCopyDataRequest(wParam, dwData, data);
    const auto address = SocketAddress(directory, socketName);
    if (!packet || !address) return Outcome(SendOutcome::kFailed);

    struct stat st;
    const std::string name(socketName);
    if (fstatat(directory.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISSOCK(st.st_mode) || !IsPrivateEntry(st))
        return Outcome(SendOutcome::kFailed);

    UniqueFd fd(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return Outcome(SendOutcome::kFailed);
    if (const auto connected = ConnectBefore(fd.get(), *address, deadline);
        connected != SendOutcome::kSent)
        return Outcome(connected);
    if (!PeerIsSameUser(fd.get())) return Outcome(SendOutcome::kFailed);
    if (const auto sent = SendBefore(fd.get(), *packet, deadline); sent != SendOutcome::kSent)
        return Outcome(sent);
    return ReceiveReplyBefore(fd.get(), deadline);
}

UniqueFd ListenForCopyData(const ImEndpointDirectory& directory, std::string_view socketName) {
    const auto address = SocketAddress(directory, socketName);
    if (!address) return {};
    UniqueFd fd(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return {};
    const std::string name(socketName);
    if (bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        return {};
    // The socket was just made inside the private directory; narrow its mode
    // regardless of the umask, since connecting needs only write permission.
    if (fchmodat(directory.fd(), name.c_str(), 0600, 0) != 0 || listen(fd.get(), 16) != 0) {
        const int saved = errno;
        unlinkat(directory.fd(), name.c_str(), 0);
        errno = saved;
        return {};
    }
    return fd;
}

ServeOutcome ServeCopyData(int listenFd, const CopyDataHandler& handler, int timeoutMs) {
    pollfd p{listenFd, POLLIN, 0};
    int ready;
    while ((ready = poll(&p, 1, timeoutMs)) < 0 && errno == EINTR) {
    }
    if (ready < 0 || (p.revents & (POLLERR | POLLNVAL))) return ServeOutcome::kFailed;
    if (ready == 0) return ServeOutcome::kIdle;

    UniqueFd connection(accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!connection) {
        return errno == EAGAIN || errno == EINTR || errno == ECONNABORTED ? ServeOutcome::kIdle
                                                                          : ServeOutcome::kFailed;
    }
    if (!PeerIsSameUser(connection.get())) return ServeOutcome::kRejected;

    const auto deadline = Clock::now() + kCopyDataReadBound;
    std::vector<uint8_t> packet(kCopyDataHeaderSize + kMaxCopyDataBytes + 1);
    for (;;) {
        if (AwaitReady(connection.get(), POLLIN, deadline)) return ServeOutcome::kRejected;
        const ssize_t n = recv(connection.get(), packet.data(), packet.size(), MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (n <= 0) return ServeOutcome::kRejected;
        packet.resize(size_t(n));
        break;
    }
    const auto message = DecodeCopyDataRequest(packet);
    if (!message) return ServeOutcome::kRejected;
    const auto reply = EncodeCopyDataReply(handler(*message));
    // The sender may have given up already; the message was handled all the same.
    send(connection.get(), reply.data(), reply.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    return ServeOutcome::kServed;
}

}  // namespace corvo::platform
