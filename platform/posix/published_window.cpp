#include "platform/posix/published_window.h"

#include <unistd.h>

#include <utility>

#include "platform/posix/window_registry.h"

namespace corvo::platform {

std::optional<PublishedWindow> PublishedWindow::Publish(WindowKind kind,
                                                        std::u16string_view className,
                                                        std::u16string_view title) {
    auto directory = ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kCreateIfMissing);
    if (!directory) return std::nullopt;
    return Publish(std::move(*directory), kind, className, title);
}

std::optional<PublishedWindow> PublishedWindow::Publish(ImEndpointDirectory directory,
                                                        WindowKind kind,
                                                        std::u16string_view className,
                                                        std::u16string_view title) {
    RemoveDeadWindows(directory);
    const auto id = NextWindowId(directory);
    if (!id) return std::nullopt;
    WindowRegistration registration;
    registration.id = *id;
    registration.kind = kind;
    registration.pid = getpid();
    registration.socketName = WindowSocketFileName(*id);
    registration.className = className;
    registration.title = title;

    UniqueFd listenFd = ListenForCopyData(directory, registration.socketName);
    if (!listenFd) return std::nullopt;
    // From here on the holder removes whatever exists of the window.
    PublishedWindow window(std::move(directory), *id, std::move(listenFd));
    if (!WriteWindowRegistration(*window.directory_, registration)) return std::nullopt;
    return window;
}

PublishedWindow::PublishedWindow(PublishedWindow&& other) noexcept
    : directory_(std::move(other.directory_)),
      id_(std::exchange(other.id_, 0)),
      listenFd_(std::move(other.listenFd_)) {
    other.directory_.reset();
}

PublishedWindow& PublishedWindow::operator=(PublishedWindow&& other) noexcept {
    if (this != &other) {
        Unpublish();
        directory_ = std::move(other.directory_);
        other.directory_.reset();
        id_ = std::exchange(other.id_, 0);
        listenFd_ = std::move(other.listenFd_);
    }
    return *this;
}

PublishedWindow::~PublishedWindow() {
    Unpublish();
}

void PublishedWindow::Unpublish() {
    if (directory_ && id_ != 0) RemoveWindow(*directory_, id_);
    listenFd_.Reset();
    directory_.reset();
    id_ = 0;
}

}  // namespace corvo::platform
