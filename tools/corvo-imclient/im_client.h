// The running reference client: for each account a top-level and a
// message-only window (titled with the account's full user ID) and a user
// block, and one serving thread per window that answers quick-login requests.
// Everything is removed when the client is stopped and destroyed.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control/exchange_block.h"
#include "platform/posix/published_window.h"
#include "platform/posix/unique_fd.h"
#include "tools/corvo-imclient/client_options.h"

namespace corvo::imclient {

class ImClient {
  public:
    explicit ImClient(ClientOptions options);
    ImClient(const ImClient&) = delete;
    ImClient& operator=(const ImClient&) = delete;
    ~ImClient();

    // Publishes every account and starts serving. False (with `error` set and
    // nothing left published) when something cannot be published.
    bool Start(std::string* error);
    // Stops serving; windows and blocks stay until destruction.
    void Stop();

  private:
    struct Window {
        std::u16string account;
        platform::PublishedWindow window;
    };

    bool PublishAccount(const std::string& directory, const std::u16string& account,
                        std::string* error);
    void Serve(const Window& window);
    void Print(const std::string& record);

    ClientOptions options_;
    platform::UniqueFd stopFd_;  // an eventfd, readable once Stop() was called
    std::vector<std::unique_ptr<Window>> windows_;
    std::vector<control::ExchangeBlock> userBlocks_;
    std::vector<std::thread> threads_;
    std::mutex outputMutex_;
};

}  // namespace corvo::imclient
