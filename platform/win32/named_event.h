// A named auto-reset event (CreateEventW / OpenEventW / SetEvent /
// WaitForSingleObject). It starts not signalled; a wait that succeeds consumes
// the signal, so one Set() releases exactly one wait. Events and file mappings
// share the kernel's object namespace: creating an event fails with EEXIST
// while a mapping holds the name. The event goes away with its last handle.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/win32/unique_handle.h"

namespace corvo::platform {

inline constexpr uint32_t kInfiniteWait = 0xFFFFFFFF;

class NamedEvent {
  public:
    enum class WaitResult { kSignaled, kTimedOut, kFailed };

    // Creates the event, or opens it when an event of that name exists.
    static std::optional<NamedEvent> Create(std::u16string_view name);
    // Opens an existing event (the signalling side); ENOENT when there is none.
    static std::optional<NamedEvent> Open(std::u16string_view name);

    NamedEvent(NamedEvent&& other) noexcept = default;
    NamedEvent& operator=(NamedEvent&& other) noexcept = default;
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    ~NamedEvent() = default;

    bool Set();
    // Waits up to `timeoutMs` milliseconds (kInfiniteWait: no limit).
    WaitResult Wait(uint32_t timeoutMs);
    bool created() const { return created_; }

  private:
    NamedEvent(UniqueHandle event, bool created) : event_(std::move(event)), created_(created) {}

    UniqueHandle event_;
    bool created_ = false;
};

}  // namespace corvo::platform
