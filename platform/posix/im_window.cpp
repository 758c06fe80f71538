#include "platform/im_window.h"

#include <new>

#include "platform/posix/copy_data_channel.h"
#include "platform/posix/window_registry.h"

namespace corvo::platform {
namespace {

std::optional<ImEndpointDirectory> OpenDirectory() {
    return ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kOpenExisting);
}

// The registration of a window that exists: file valid and process alive.
std::optional<WindowRegistration> LiveWindow(const ImEndpointDirectory& directory,
                                             ImWindowHandle window) {
    if (window == kNoWindow) return std::nullopt;
    auto registration = ReadWindowRegistration(directory, window);
    if (!registration || !IsProcessAlive(registration->pid)) return std::nullopt;
    return registration;
}

WindowKind KindOf(ImWindowParent parent) {
    return parent == ImWindowParent::kDesktop ? WindowKind::kTopLevel : WindowKind::kMessageOnly;
}

}  // namespace

ImWindowHandle FindImWindow(ImWindowParent parent, ImWindowHandle after,
                            std::u16string_view className, const std::u16string_view* title) {
    const auto directory = OpenDirectory();
    if (!directory) return kNoWindow;
    const WindowKind kind = KindOf(parent);
    for (uint64_t id : ListWindowIds(*directory)) {
        if (id <= after) continue;
        const auto registration = LiveWindow(*directory, id);
        if (registration && registration->kind == kind && registration->className == className &&
            (!title || registration->title == *title))
            return id;
    }
    return kNoWindow;
}

std::vector<ImWindowEntry> EnumerateImWindows(ImWindowParent parent,
                                              std::u16string_view className) {
    std::vector<ImWindowEntry> windows;
    const auto directory = OpenDirectory();
    if (!directory) return windows;
    const WindowKind kind = KindOf(parent);
    try {
        for (uint64_t id : ListWindowIds(*directory)) {
            auto registration = LiveWindow(*directory, id);
            if (registration && registration->kind == kind && registration->className == className)
                windows.push_back({id, std::move(registration->title)});
        }
    } catch (const std::bad_alloc&) {
        // the windows found so far remain
    }
    return windows;
}

bool IsImWindow(ImWindowHandle window) {
    const auto directory = OpenDirectory();
    return directory && LiveWindow(*directory, window).has_value();
}

std::optional<std::u16string> GetImWindowText(ImWindowHandle window) {
    const auto directory = OpenDirectory();
    if (!directory) return std::nullopt;
    auto registration = LiveWindow(*directory, window);
    if (!registration) return std::nullopt;
    return std::move(registration->title);
}

SendResult SendCopyDataTimeout(ImWindowHandle window, uint64_t wParam, uint64_t dwData,
                               std::span<const uint8_t> data, std::chrono::milliseconds timeout) {
    const auto directory = OpenDirectory();
    if (!directory) return SendResult{};
    const auto registration = LiveWindow(*directory, window);
    if (!registration) return SendResult{};
    return DeliverCopyData(*directory, registration->socketName, wParam, dwData, data, timeout);
}

}  // namespace corvo::platform
