#include "platform/posix/named_event.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/shared_memory_name.h"

namespace corvo::platform {
namespace {

int64_t MonotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Opens `file` in `directory` with `flags` and checks that it is a private
// FIFO of the user.
UniqueFd OpenPrivateFifo(int directory, const char* file, int flags) {
    UniqueFd fd(openat(directory, file, flags | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        if (errno == ELOOP) errno = EPERM;
        if (errno == ENXIO) errno = ENOENT;  // nobody reads it any more
        return fd;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0) {
        fd.Reset();
    } else if (!S_ISFIFO(st.st_mode) || !IsPrivateObject(st)) {
        fd.Reset();
        errno = S_ISREG(st.st_mode) ? EEXIST : EPERM;  // a block of that name
    }
    return fd;
}

}  // namespace

std::optional<NamedEvent> NamedEvent::Create(std::u16string_view name) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    auto directory = OpenExchangeObjectDirectory();
    if (!directory) return std::nullopt;
    const char* file = objectName->c_str() + 1;
    const bool created = mkfifoat(directory->get(), file, 0600) == 0;
    if (!created && errno != EEXIST) return std::nullopt;
    // The umask may have cut the mode; the directory is private, so the name
    // still refers to the FIFO just made.
    if (created && fchmodat(directory->get(), file, 0600, 0) != 0) {
        const int saved = errno;
        unlinkat(directory->get(), file, 0);
        errno = saved;
        return std::nullopt;
    }
    // Read and write: the creator keeps a writer itself, so the FIFO never
    // reports a hang-up when a signaller closes its end.
    UniqueFd fifo = OpenPrivateFifo(directory->get(), file, O_RDWR);
    if (!fifo) {
        const int saved = errno;
        if (created) unlinkat(directory->get(), file, 0);
        errno = saved;
        return std::nullopt;
    }
    return NamedEvent(std::move(*directory), std::move(fifo), std::move(*objectName), created,
                      true);
}

std::optional<NamedEvent> NamedEvent::Open(std::u16string_view name) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    auto directory = OpenExchangeObjectDirectory();
    if (!directory) return std::nullopt;
    UniqueFd fifo = OpenPrivateFifo(directory->get(), objectName->c_str() + 1, O_WRONLY);
    if (!fifo) return std::nullopt;
    return NamedEvent(UniqueFd(), std::move(fifo), std::move(*objectName), false, false);
}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept {
    if (this != &other) {
        Close();
        directory_ = std::move(other.directory_);
        fifo_ = std::move(other.fifo_);
        objectName_ = std::move(other.objectName_);
        created_ = std::exchange(other.created_, false);
        canWait_ = other.canWait_;
    }
    return *this;
}

NamedEvent::~NamedEvent() {
    Close();
}

void NamedEvent::Close() noexcept {
    if (!fifo_) return;
    const int saved = errno;
    if (created_) {
        struct stat mine, named;
        const char* file = objectName_.c_str() + 1;
        if (fstat(fifo_.get(), &mine) == 0 &&
            fstatat(directory_.get(), file, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
            unlinkat(directory_.get(), file, 0);
    }
    fifo_.Reset();
    directory_.Reset();
    created_ = false;
    errno = saved;
}

bool NamedEvent::Set() {
    if (!fifo_) return false;
    const char one = 1;
    for (;;) {
        if (write(fifo_.get(), &one, 1) == 1) return true;
        if (errno == EINTR) continue;
        return errno == EAGAIN;  // full of signals already
    }
}

NamedEvent::WaitResult NamedEvent::Wait(uint32_t timeoutMs) {
    if (!fifo_ || !canWait_) return WaitResult::kFailed;
    const int64_t deadline = timeoutMs == kInfiniteWait ? -1 : MonotonicMs() + timeoutMs;
    for (;;) {
        int remaining = -1;
        if (deadline >= 0) {
            const int64_t left = deadline - MonotonicMs();
            remaining = left <= 0 ? 0 : int(left);
        }
        pollfd p{fifo_.get(), POLLIN, 0};
        const int ready = poll(&p, 1, remaining);
        if (ready < 0) {
            if (errno == EINTR) continue;
            return WaitResult::kFailed;
        }
        if (ready == 0) {
            if (remaining == 0) return WaitResult::kTimedOut;
            continue;
        }
        // Consume every signal written so far (auto-reset).
        bool signalled = false;
        char bytes[64];
        for (;;) {
            const ssize_t n = read(fifo_.get(), bytes, sizeof bytes);
            if (n > 0) {
                signalled = true;
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            break;
        }
        if (signalled) return WaitResult::kSignaled;
        if (!(p.revents & POLLIN)) return WaitResult::kFailed;
        // Another waiter took the signal first: wait on.
    }
}

}  // namespace corvo::platform
