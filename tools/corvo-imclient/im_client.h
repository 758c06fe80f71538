// The running reference client: for each account a top-level and a
// message-only window (titled with the account's full user ID) and a user
// block; each window is served on a thread of its own, which answers the
// quick-login requests. Everything is removed when the client is stopped and
// destroyed.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control/exchange_block.h"
#include "platform/served_window.h"
#include "tools/corvo-imclient/client_options.h"

namespace corvo::imclient {

class ImClient {
  public:
    explicit ImClient(ClientOptions options);
    ImClient(const ImClient&) = delete;
    ImClient& operator=(const ImClient&) = delete;
    ~ImClient();

    // Publishes every account and starts serving (`directory`: the endpoint
    // directory asked for, empty for the system's default; see
    // platform/im_client_endpoint.h). False (with `error` set and nothing left
    // published) when something cannot be published.
    bool Start(const std::string& directory, std::string* error);
    // Stops serving and removes the windows; the blocks stay until destruction.
    void Stop();

  private:
    bool PublishAccount(const std::u16string& account, std::string* error);
    void Answer(const std::u16string& account, const platform::CopyDataMessage& message);
    void Print(const std::string& record);
    void PrintError(const std::string& text);

    ClientOptions options_;
    std::vector<std::unique_ptr<platform::ServedWindow>> windows_;
    std::vector<control::ExchangeBlock> userBlocks_;
    std::mutex outputMutex_;
};

}  // namespace corvo::imclient
