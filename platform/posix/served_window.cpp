#include "platform/served_window.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/posix/published_window.h"
#include "platform/posix/unique_fd.h"

namespace corvo::platform {

struct ServedWindow::System {
    System(PublishedWindow published, UniqueFd stop, Receiver handed)
        : window(std::move(published)), stopFd(std::move(stop)), receiver(std::move(handed)) {}
    void Serve();

    PublishedWindow window;
    UniqueFd stopFd;  // an eventfd, readable once the holder goes away
    Receiver receiver;
    std::thread thread;
};

std::unique_ptr<ServedWindow> ServedWindow::Publish(WindowKind kind, std::u16string_view className,
                                                    std::u16string_view title, Receiver receiver) {
    UniqueFd stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopFd) return nullptr;
    auto window = PublishedWindow::Publish(kind, className, title);
    if (!window) return nullptr;
    auto system =
        std::make_unique<System>(std::move(*window), std::move(stopFd), std::move(receiver));
    if (system->receiver) system->thread = std::thread([s = system.get()] { s->Serve(); });
    return std::unique_ptr<ServedWindow>(new ServedWindow(std::move(system)));
}

ServedWindow::ServedWindow(std::unique_ptr<System> system) : system_(std::move(system)) {}

ServedWindow::~ServedWindow() {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(system_->stopFd.get(), &one, sizeof one);
    if (system_->thread.joinable()) system_->thread.join();
}

void ServedWindow::System::Serve() {
    CopyDataMessage received;
    bool got = false;
    const CopyDataHandler handler = [&](const CopyDataMessage& m) -> int64_t {
        received = m;
        got = true;
        return 1;
    };
    for (;;) {
        pollfd fds[2] = {{window.listenFd(), POLLIN, 0}, {stopFd.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        got = false;
        // The reply goes back first: the sender is released at once, and the
        // receiver's work follows while the sender waits for its event.
        if (window.ServeOne(handler, 0) == ServeOutcome::kFailed) return;
        if (got) receiver(received);
    }
}

}  // namespace corvo::platform
