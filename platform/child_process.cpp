// What the holder does the same on every system; starting, waiting and
// stopping are the system's (posix/, win32/).
#include "platform/child_process.h"

#include <utility>

namespace corvo::platform {

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : running_(std::exchange(other.running_, false)),
      process_(std::exchange(other.process_, 0)),
      id_(std::exchange(other.id_, 0)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (running_) Stop();
        running_ = std::exchange(other.running_, false);
        process_ = std::exchange(other.process_, 0);
        id_ = std::exchange(other.id_, 0);
    }
    return *this;
}

ChildProcess::~ChildProcess() {
    if (running_) Stop();
}

}  // namespace corvo::platform
