// A named auto-reset event (the CreateEventW / SetEvent / WaitForSingleObject
// stand-in) over a POSIX named semaphore.
//
// Event N is the semaphore whose name is the shared-memory object name of N
// (shared_memory_name.h), so events and blocks share one namespace as kernel
// objects do: creating an event fails with EEXIST while a block of that name
// exists. The event starts not signalled; Set() signals it unless it is
// signalled already; a wait that succeeds consumes the signal, so one Set()
// releases exactly one wait. The holder that created the semaphore removes
// its name when it goes away.
//
// Set() is "post unless the value is already positive"; two processes that
// set the same event at the same instant may leave it signalled twice. The
// exchange has a single signaller per event, for which this cannot happen.
#pragma once

#include <semaphore.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvo::platform {

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;

class NamedEvent {
  public:
    enum class WaitResult { kSignaled, kTimedOut, kFailed };

    // Creates the event, or opens it when an event of that name exists.
    // errno on failure: EINVAL or ENAMETOOLONG for a name without an object
    // name, EEXIST when a block holds the name, otherwise sem_open's code.
    static std::optional<NamedEvent> Create(std::u16string_view name);

    // Opens an existing event (the signalling side); ENOENT when there is none.
    static std::optional<NamedEvent> Open(std::u16string_view name);

    NamedEvent(NamedEvent&& other) noexcept;
    NamedEvent& operator=(NamedEvent&& other) noexcept;
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    ~NamedEvent();

    bool Set();
    // Waits up to `timeoutMs` milliseconds (kInfiniteWait: no limit) on the
    // monotonic clock.
    WaitResult Wait(uint32_t timeoutMs);

    bool created() const { return unlinkOnClose_; }
    const std::string& objectName() const { return objectName_; }

  private:
    NamedEvent(sem_t* semaphore, std::string objectName, bool unlinkOnClose)
        : semaphore_(semaphore),
          objectName_(std::move(objectName)),
          unlinkOnClose_(unlinkOnClose) {}
    void Close() noexcept;

    sem_t* semaphore_ = nullptr;
    std::string objectName_;
    bool unlinkOnClose_ = false;
};

}  // namespace corvo::platform
