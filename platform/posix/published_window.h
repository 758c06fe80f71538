// An IM window endpoint published by its owner (the IM client side): a
// listening socket plus its registration in the endpoint directory. Both are
// removed when the holder goes away.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/posix/copy_data_channel.h"
#include "platform/posix/im_endpoint_directory.h"
#include "platform/posix/window_registration.h"

namespace corvo::platform {

class PublishedWindow {
  public:
    // Opens (creating it if missing) the endpoint directory of the
    // environment, removes registrations left by processes that are gone, and
    // publishes a window: socket created and listening first, registration
    // written last. Nothing is left behind on failure.
    static std::optional<PublishedWindow> Publish(WindowKind kind, std::u16string_view className,
                                                  std::u16string_view title);
    static std::optional<PublishedWindow> Publish(ImEndpointDirectory directory, WindowKind kind,
                                                  std::u16string_view className,
                                                  std::u16string_view title);

    PublishedWindow(PublishedWindow&& other) noexcept;
    PublishedWindow& operator=(PublishedWindow&& other) noexcept;
    PublishedWindow(const PublishedWindow&) = delete;
    PublishedWindow& operator=(const PublishedWindow&) = delete;
    ~PublishedWindow();

    // Serves at most one message (see ServeCopyData).
    ServeOutcome ServeOne(const CopyDataHandler& handler, int timeoutMs) const {
        return ServeCopyData(listenFd_.get(), handler, timeoutMs);
    }

    // Removes registration and socket now.
    void Unpublish();

    uint64_t id() const { return id_; }
    int listenFd() const { return listenFd_.get(); }

  private:
    PublishedWindow(ImEndpointDirectory directory, uint64_t id, UniqueFd listenFd)
        : directory_(std::move(directory)), id_(id), listenFd_(std::move(listenFd)) {}

    std::optional<ImEndpointDirectory> directory_;
    uint64_t id_ = 0;
    UniqueFd listenFd_;
};

}  // namespace corvo::platform
