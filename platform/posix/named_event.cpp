#include "platform/posix/named_event.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/shared_memory_name.h"

namespace corvo::platform {
namespace {

// True when a shared-memory object of that name exists (opening it is enough
// to know; EACCES means it exists but belongs to someone else).
bool BlockExists(const std::string& objectName) {
    const int fd = shm_open(objectName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd >= 0) {
        close(fd);
        return true;
    }
    return errno == EACCES;
}

}  // namespace

std::optional<NamedEvent> NamedEvent::Create(std::u16string_view name) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    if (BlockExists(*objectName)) {
        errno = EEXIST;
        return std::nullopt;
    }
    for (;;) {
        sem_t* created = sem_open(objectName->c_str(), O_CREAT | O_EXCL, 0600, 0);
        if (created != SEM_FAILED) return NamedEvent(created, std::move(*objectName), true);
        if (errno != EEXIST) return std::nullopt;
        sem_t* existing = sem_open(objectName->c_str(), 0);
        if (existing != SEM_FAILED) return NamedEvent(existing, std::move(*objectName), false);
        if (errno != ENOENT) return std::nullopt;
        // Removed between the two calls: try to create it again.
    }
}

std::optional<NamedEvent> NamedEvent::Open(std::u16string_view name) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    sem_t* existing = sem_open(objectName->c_str(), 0);
    if (existing == SEM_FAILED) return std::nullopt;
    return NamedEvent(existing, std::move(*objectName), false);
}

NamedEvent::NamedEvent(NamedEvent&& other) noexcept
    : semaphore_(std::exchange(other.semaphore_, nullptr)),
      objectName_(std::move(other.objectName_)),
      unlinkOnClose_(std::exchange(other.unlinkOnClose_, false)) {}

NamedEvent& NamedEvent::operator=(NamedEvent&& other) noexcept {
    if (this != &other) {
        Close();
        semaphore_ = std::exchange(other.semaphore_, nullptr);
        objectName_ = std::move(other.objectName_);
        unlinkOnClose_ = std::exchange(other.unlinkOnClose_, false);
    }
    return *this;
}

NamedEvent::~NamedEvent() {
    Close();
}

void NamedEvent::Close() noexcept {
    if (!semaphore_) return;
    const int saved = errno;
    if (unlinkOnClose_) sem_unlink(objectName_.c_str());
    sem_close(semaphore_);
    semaphore_ = nullptr;
    errno = saved;
}

bool NamedEvent::Set() {
    if (!semaphore_) return false;
    int value = 0;
    if (sem_getvalue(semaphore_, &value) != 0) return false;
    return value > 0 || sem_post(semaphore_) == 0;
}

NamedEvent::WaitResult NamedEvent::Wait(uint32_t timeoutMs) {
    if (!semaphore_) return WaitResult::kFailed;
    if (timeoutMs == kInfiniteWait) {
        while (sem_wait(semaphore_) != 0) {
            if (errno != EINTR) return WaitResult::kFailed;
        }
        return WaitResult::kSignaled;
    }
    timespec deadline;
    if (clock_gettime(CLOCK_MONOTONIC, &deadline) != 0) return WaitResult::kFailed;
    deadline.tv_sec += timeoutMs / 1000;
    deadline.tv_nsec += long(timeoutMs % 1000) * 1000000L;
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    // The deadline is absolute, so an interrupted wait simply resumes.
    while (sem_clockwait(semaphore_, CLOCK_MONOTONIC, &deadline) != 0) {
        if (errno == ETIMEDOUT) return WaitResult::kTimedOut;
        if (errno != EINTR) return WaitResult::kFailed;
    }
    return WaitResult::kSignaled;
}

}  // namespace corvo::platform
