// A named auto-reset event (the CreateEventW / SetEvent / WaitForSingleObject
// stand-in): a FIFO in the user's private exchange-object directory
// (exchange_object_directory.h), named like a block of the same name, so
// events and blocks share one namespace as kernel objects do: creating an
// event fails with EEXIST while a block of that name exists.
//
// The creator holds the FIFO open for reading and writing while it lives;
// Set() writes one byte into it; a wait that succeeds consumes every byte
// written so far, so any number of Set() calls before a wait release exactly
// that one wait, and the event starts not signalled. The holder that created
// the event removes its name when it goes away. Opening (the signalling side)
// fails while nobody holds the event for reading: a creator that has given up
// or was killed leaves nothing that can be signalled.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace corvo::platform {

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;

class NamedEvent {
  public:
    enum class WaitResult { kSignaled, kTimedOut, kFailed };

    // Creates the event, or opens it for waiting when a live event of that
    // name exists (of this user). errno on failure: EINVAL or ENAMETOOLONG for
    // a name without an object name, EEXIST when a block holds the name,
    // ENOENT or EPERM for a missing or unusable object directory, EPERM for
    // an object that is not private to the user, otherwise the system call's
    // own code.
    static std::optional<NamedEvent> Create(std::u16string_view name);

    // Opens an existing event for signalling; ENOENT when there is none or
    // nobody waits on it any more, EPERM when it is not a private event of
    // this user.
    static std::optional<NamedEvent> Open(std::u16string_view name);

    NamedEvent(NamedEvent&& other) noexcept = default;
    NamedEvent& operator=(NamedEvent&& other) noexcept;
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    ~NamedEvent();

    bool Set();
    // Waits up to `timeoutMs` milliseconds (kInfiniteWait: no limit) on the
    // monotonic clock. Fails on an event opened for signalling only.
    WaitResult Wait(uint32_t timeoutMs);

    bool created() const { return created_; }
    const std::string& objectName() const { return objectName_; }

  private:
    NamedEvent(UniqueFd directory, UniqueFd fifo, std::string objectName, bool created,
               bool canWait)
        : directory_(std::move(directory)),
          fifo_(std::move(fifo)),
          objectName_(std::move(objectName)),
          created_(created),
          canWait_(canWait) {}
    void Close() noexcept;

    UniqueFd directory_;
    UniqueFd fifo_;
    std::string objectName_;
    bool created_ = false;
    bool canWait_ = false;
};

}  // namespace corvo::platform
