#include "platform/im_window.h"

#include <windows.h>

#include <limits>
#include <new>

#include "platform/com/ole_text.h"

namespace corvo::platform {
namespace {

HWND AsHwnd(ImWindowHandle window) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

ImWindowHandle AsHandle(HWND window) {
    return static_cast<ImWindowHandle>(reinterpret_cast<uintptr_t>(window));
}

HWND ParentOf(ImWindowParent parent) {
    return parent == ImWindowParent::kDesktop ? nullptr : HWND_MESSAGE;
}

// Whether a window found among the top-level windows is one: Wine's
// FindWindowExW with no parent also returns message-only windows, which
// Windows leaves out.
bool IsTopLevel(HWND window) {
    return ::GetAncestor(window, GA_PARENT) == ::GetDesktopWindow();
}

}  // namespace

ImWindowHandle FindImWindow(ImWindowParent parent, ImWindowHandle after,
                            std::u16string_view className, const std::u16string_view* title) {
    const std::u16string cls(className);
    std::u16string text;
    if (title) text.assign(*title);
    // What GetWindowTextW can give back of the title.
    const std::u16string_view wanted =
        std::u16string_view(text).substr(0, kImWindowTextCapacity - 1);
    HWND found = AsHwnd(after);
    for (;;) {
        found = ::FindWindowExW(ParentOf(parent), found, AsOleText(cls.c_str()),
                                title ? AsOleText(text.c_str()) : nullptr);
        if (!found) return kNoWindow;
        if (parent == ImWindowParent::kDesktop && !IsTopLevel(found)) continue;
        // FindWindowExW compares titles without regard to case: a window whose
        // title differs only in case is another account's.
        if (title) {
            const auto actual = GetImWindowText(AsHandle(found));
            if (!actual || *actual != wanted) continue;
        }
        return AsHandle(found);
    }
}

std::vector<ImWindowEntry> EnumerateImWindows(ImWindowParent parent,
                                              std::u16string_view className) {
    std::vector<ImWindowEntry> windows;
    try {
        ImWindowHandle window = kNoWindow;
        while ((window = FindImWindow(parent, window, className, nullptr)) != kNoWindow) {
            if (!IsImWindow(window)) continue;
            auto title = GetImWindowText(window);
            if (title) windows.push_back({window, std::move(*title)});
        }
    } catch (const std::bad_alloc&) {
        // the windows found so far remain
    }
    return windows;
}

bool IsImWindow(ImWindowHandle window) {
    return window != kNoWindow && ::IsWindow(AsHwnd(window));
}

std::optional<std::u16string> GetImWindowText(ImWindowHandle window) {
    if (!IsImWindow(window)) return std::nullopt;
    wchar_t buffer[kImWindowTextCapacity] = {};
    const int length =
        ::GetWindowTextW(AsHwnd(window), buffer, static_cast<int>(kImWindowTextCapacity));
    if (length <= 0) {
        // An empty title and a window that went away both read as nothing;
        // only the second is no window.
        if (!IsImWindow(window)) return std::nullopt;
        return std::u16string();
    }
    return std::u16string(AsUtf16(buffer), static_cast<size_t>(length));
}

SendResult SendCopyDataTimeout(ImWindowHandle window, uint64_t wParam, uint64_t dwData,
                               std::span<const uint8_t> data, std::chrono::milliseconds timeout) {
    SendResult result;
    if (data.size() > std::numeric_limits<DWORD>::max() || timeout.count() < 0) return result;
    COPYDATASTRUCT cds{};
    cds.dwData = static_cast<ULONG_PTR>(dwData);
    cds.cbData = static_cast<DWORD>(data.size());
    cds.lpData = const_cast<uint8_t*>(data.data());  // the receiver only reads it
    DWORD_PTR answer = 0;
    ::SetLastError(ERROR_SUCCESS);
    const LRESULT sent = ::SendMessageTimeoutW(
        AsHwnd(window), WM_COPYDATA, static_cast<WPARAM>(wParam), reinterpret_cast<LPARAM>(&cds),
        SMTO_ABORTIFHUNG, static_cast<UINT>(timeout.count()), &answer);
    if (sent != 0) {
        result.outcome = SendOutcome::kSent;
        result.result = static_cast<int64_t>(static_cast<LRESULT>(answer));
    } else {
        const DWORD error = ::GetLastError();
        result.outcome = error == ERROR_TIMEOUT || error == ERROR_SUCCESS ? SendOutcome::kTimedOut
                                                                          : SendOutcome::kFailed;
    }
    return result;
}

}  // namespace corvo::platform
