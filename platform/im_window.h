// The IM client's windows: finding them, reading their titles, WM_COPYDATA
// delivery, shaped like the Win32 calls. Windows: platform/win32/im_window.cpp
// (the client's side of the real calls); POSIX: platform/posix/im_window.cpp
// over the endpoint registry of the per-user endpoint directory (every call
// opens the directory afresh and keeps nothing).
//
// clang-format off
//   FindImWindow(kDesktop, kNoWindow, cls, &title)   FindWindowExW(nullptr, nullptr, cls, title)
//   FindImWindow(kMessageOnly, after, cls, nullptr)  FindWindowExW(HWND_MESSAGE, after, cls, nullptr)
//   EnumerateImWindows(kMessageOnly, cls)            the FindWindowExW walk above, with
//                                                    IsWindow and GetWindowTextW per window
//   IsImWindow(w)                                    IsWindow(w)
//   GetImWindowText(w)                               GetWindowTextW(w, buffer of 256 characters)
//   SendCopyDataTimeout(w, 0, 1, bytes, 2000)        SendMessageTimeoutW(w, WM_COPYDATA, 0, &cds,
//                                                        SMTO_ABORTIFHUNG, 2000, &result)
// clang-format on
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/copy_data_result.h"

namespace corvo::platform {

// A window handle: the HWND's value on Windows, the window's registration id
// on POSIX; kNoWindow is none.
using ImWindowHandle = uint64_t;
inline constexpr ImWindowHandle kNoWindow = 0;

// Characters of the buffer a title is read into on Windows, NUL included.
inline constexpr size_t kImWindowTextCapacity = 256;

enum class ImWindowParent {
    kDesktop,      // top-level windows
    kMessageOnly,  // message-only windows
};

// The first window after `after` (creation order) of that kind and class
// whose title is exactly `title` (any title when null); kNoWindow when there
// is none. POSIX: only windows whose process is alive. Windows: a desktop
// search returns top-level windows only (Wine's FindWindowExW would also
// return message-only ones), and each candidate's title is read back with
// GetWindowTextW and compared exactly, since FindWindowExW ignores case.
ImWindowHandle FindImWindow(ImWindowParent parent, ImWindowHandle after,
                            std::u16string_view className, const std::u16string_view* title);

// One window seen by an enumeration, with its whole title as it was then.
struct ImWindowEntry {
    ImWindowHandle window = kNoWindow;
    std::u16string title;
};

// The windows of that kind and class, in creation order: what walking
// FindImWindow from kNoWindow yields (POSIX: from a single scan of the
// endpoint directory). Each entry passed the IsImWindow check when its title
// was read; a window that vanished before that is left out. Running out of
// memory ends the enumeration with the windows found so far.
std::vector<ImWindowEntry> EnumerateImWindows(ImWindowParent parent, std::u16string_view className);

// True while the handle names a window (POSIX: its registration exists and
// its process is alive).
bool IsImWindow(ImWindowHandle window);

// The window's title (Windows: read into kImWindowTextCapacity characters,
// so at most 255 of them; POSIX: whole); nothing when the window does not exist.
std::optional<std::u16string> GetImWindowText(ImWindowHandle window);

// Delivers one WM_COPYDATA message (wParam, dwData, the data bytes) and waits
// for the window's answer, all within `timeout`.
SendResult SendCopyDataTimeout(ImWindowHandle window, uint64_t wParam, uint64_t dwData,
                               std::span<const uint8_t> data, std::chrono::milliseconds timeout);

}  // namespace corvo::platform
