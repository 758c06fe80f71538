// The window operations of the IM client exchange, shaped like the Win32 calls
// they stand in for, over the endpoint registry of the per-user endpoint
// directory. Every call opens the directory afresh and keeps nothing.
//
// clang-format off
//   FindImWindow(kDesktop, kNoWindow, cls, &title)   FindWindowExW(nullptr, nullptr, cls, title)
//   FindImWindow(kMessageOnly, after, cls, nullptr)  FindWindowExW(HWND_MESSAGE, after, cls, nullptr)
//   EnumerateImWindows(kMessageOnly, cls)            the FindWindowExW walk above, with
//                                                    IsWindow and GetWindowTextW per window
//   IsImWindow(w)                                    IsWindow(w)
//   GetImWindowText(w)                               GetWindowTextW(w, ...)
//   SendCopyDataTimeout(w, 0, 1, bytes, 2000)        SendMessageTimeoutW(w, WM_COPYDATA, 0, &cds,
//                                                        SMTO_ABORTIFHUNG, 2000, &result)
// clang-format on
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/posix/copy_data_channel.h"

namespace corvo::platform {

// A window handle: the window's registration id; kNoWindow is none.
using ImWindowHandle = uint64_t;
inline constexpr ImWindowHandle kNoWindow = 0;

enum class ImWindowParent {
    kDesktop,      // top-level windows
    kMessageOnly,  // message-only windows
};

// The first window after `after` (creation order) of that kind and class
// whose title is exactly `title` (any title when null) and whose process is
// alive; kNoWindow when there is none.
ImWindowHandle FindImWindow(ImWindowParent parent, ImWindowHandle after,
                            std::u16string_view className, const std::u16string_view* title);

// One window seen by an enumeration, with its whole title as it was then.
struct ImWindowEntry {
    ImWindowHandle window = kNoWindow;
    std::u16string title;
};

// The windows of that kind and class, in creation order, from a single scan
// of the endpoint directory: what walking FindImWindow from kNoWindow yields,
// at the cost of one directory listing instead of one per step. Each entry
// passed the IsImWindow check (registration readable, process alive) when it
// was read; a window that vanished before that is left out. Empty when the
// directory does not exist; running out of memory ends the enumeration with
// the windows found so far.
std::vector<ImWindowEntry> EnumerateImWindows(ImWindowParent parent, std::u16string_view className);

// True while the window's registration exists and its process is alive.
bool IsImWindow(ImWindowHandle window);

// The window's whole title; nothing when the window does not exist.
std::optional<std::u16string> GetImWindowText(ImWindowHandle window);

// Delivers one WM_COPYDATA message (wParam, dwData, the data bytes) and waits
// for the window's answer, all within `timeout`.
SendResult SendCopyDataTimeout(ImWindowHandle window, uint64_t wParam, uint64_t dwData,
                               std::span<const uint8_t> data, std::chrono::milliseconds timeout);

}  // namespace corvo::platform
