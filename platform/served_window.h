// A window of the IM client's side, published with a class and a title and
// served on a thread of its own. The interface is the same on every system;
// each system's served_window.cpp holds what the window is made of:
//
//   POSIX    a published window endpoint (posix/published_window.h) whose
//            socket the window's thread reads.
//   Windows  a real window of the class, created and served by the window's
//            thread (a window belongs to the thread that made it, and only
//            that thread's message loop runs its window procedure). A
//            message-only window is a child of HWND_MESSAGE, a top-level
//            window an invisible popup; each is put at the bottom of its
//            siblings, so FindWindowExW walks them in publication order.
#pragma once

#include <functional>
#include <memory>
#include <string_view>

#include "platform/copy_data_message.h"
#include "platform/window_kind.h"

namespace corvo::platform {

class ServedWindow {
  public:
    using Receiver = std::function<void(const CopyDataMessage&)>;

    // Publishes the window and starts serving it: every WM_COPYDATA message
    // is answered with 1 at once (the sender goes on), then handed to
    // `receiver` on the window's thread, one message at a time. A null
    // receiver publishes a window that nobody serves (a hung window: a
    // sender's time-out runs out). Nothing on failure, with errno set.
    static std::unique_ptr<ServedWindow> Publish(WindowKind kind, std::u16string_view className,
                                                 std::u16string_view title, Receiver receiver);

    ServedWindow(const ServedWindow&) = delete;
    ServedWindow& operator=(const ServedWindow&) = delete;
    // Stops serving (after the receiver's current message) and removes the window.
    ~ServedWindow();

    struct System;  // the system's part (served_window.cpp)

  private:
    explicit ServedWindow(std::unique_ptr<System> system);

    std::unique_ptr<System> system_;
};

}  // namespace corvo::platform
