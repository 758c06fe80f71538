#include "platform/named_event.h"

#include <cerrno>
#include <string>

#include "platform/com/ole_text.h"
#include "platform/win32/object_name.h"
#include "platform/win32/win32_error.h"

namespace corvo::platform {

std::optional<NamedEvent> NamedEvent::Create(std::u16string_view name) {
    const auto objectName = KernelObjectName(name);
    if (!objectName) return std::nullopt;
    HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, corvo::AsOleText(objectName->c_str()));
    if (event == nullptr) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    const bool created = ::GetLastError() != ERROR_ALREADY_EXISTS;
    return NamedEvent(UniqueHandle(event), created);
}

std::optional<NamedEvent> NamedEvent::Open(std::u16string_view name) {
    const auto objectName = KernelObjectName(name);
    if (!objectName) return std::nullopt;
    HANDLE event = ::OpenEventW(EVENT_MODIFY_STATE | SYNCHRONIZE, FALSE,
                                corvo::AsOleText(objectName->c_str()));
    if (event == nullptr) {
        SetErrnoFromLastError();
        return std::nullopt;
    }
    return NamedEvent(UniqueHandle(event), false);
}

bool NamedEvent::Set() {
    return event_ && ::SetEvent(event_.get()) != 0;
}

NamedEvent::WaitResult NamedEvent::Wait(uint32_t timeoutMs) {
    if (!event_) return WaitResult::kFailed;
    switch (::WaitForSingleObject(event_.get(), timeoutMs)) {
        case WAIT_OBJECT_0:
            return WaitResult::kSignaled;
        case WAIT_TIMEOUT:
            return WaitResult::kTimedOut;
        default:
            return WaitResult::kFailed;
    }
}

}  // namespace corvo::platform
