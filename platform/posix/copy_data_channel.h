// Delivery of one WM_COPYDATA message to an IM window endpoint over its
// Unix-domain SOCK_SEQPACKET socket (the SendMessageTimeoutW stand-in), and
// the receiving side that the endpoint's owner runs. Packet layouts are in
// copy_data_packet.h.
//
// Both sides check the peer's credentials (SO_PEERCRED): a message only ever
// travels between processes of the same effective user. Neither side can be
// killed by SIGPIPE (MSG_NOSIGNAL).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "platform/copy_data_result.h"
#include "platform/posix/copy_data_packet.h"
#include "platform/posix/im_endpoint_directory.h"
#include "platform/posix/unique_fd.h"

namespace corvo::platform {

// Connects to socket `socketName` of `directory`, sends the message and waits
// for the answer; connecting, sending and waiting together take at most
// `timeout`. The socket must pass IsPrivateEntry and be a socket (not a link).
SendResult DeliverCopyData(const ImEndpointDirectory& directory, std::string_view socketName,
                           uint64_t wParam, uint64_t dwData, std::span<const uint8_t> data,
                           std::chrono::milliseconds timeout);

// Creates socket `socketName` in `directory` (mode 0600) and listens on it.
UniqueFd ListenForCopyData(const ImEndpointDirectory& directory, std::string_view socketName);

enum class ServeOutcome {
    kServed,    // one message was handed to the handler and answered
    kIdle,      // no connection arrived within the time-out
    kRejected,  // a connection came but was dropped (foreign user, no or bad packet)
    kFailed,    // the listening socket failed
};

using CopyDataHandler = std::function<int64_t(const CopyDataMessage&)>;

// Waits up to `timeoutMs` (-1: no limit) for one connection on `listenFd`,
// reads its packet (waiting at most kCopyDataReadBound for it), passes the
// message to `handler` and sends back its result.
ServeOutcome ServeCopyData(int listenFd, const CopyDataHandler& handler, int timeoutMs);

inline constexpr std::chrono::milliseconds kCopyDataReadBound{2000};

}  // namespace corvo::platform
