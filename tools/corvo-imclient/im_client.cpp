#include "tools/corvo-imclient/im_client.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "control/exchange_name.h"
#include "data/xparam_sl_helper.h"
#include "platform/posix/exchange_object_directory.h"
#include "platform/strict_utf8.h"
#include "tools/corvo-imclient/login_request.h"
#include "tools/corvo-imclient/login_responder.h"

namespace corvo::imclient {
namespace {

std::string Utf8(std::u16string_view text) {
    std::string out;
    return platform::StrictUtf16ToUtf8(text, out) ? out : std::string("(not UTF-16)");
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

// The user document of an account: the site ID is its first 8 characters, the
// short ID the rest.
std::u16string UserDocumentText(const ClientOptions& options, std::u16string_view account) {
    srlz::SSOUserRecord record;
    record.version = options.clientVersion;
    record.fullUserID = account;
    record.siteID = account.substr(0, 8);
    record.shortUserID = account.size() > 8 ? account.substr(8) : std::u16string_view();
    record.siteDescript = SiteDescriptionFor(record.siteID);
    const srlz::XParamSLHelper helper;
    helper.SetFieldEncoding(record, true);
    std::u16string text;
    helper.WriteUserDocument(record, text);
    return text;
}

}  // namespace

ImClient::ImClient(ClientOptions options)
    : options_(std::move(options)), stopFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

ImClient::~ImClient() {
    Stop();
    // Windows first (so no request finds a window without its block), then blocks.
    windows_.clear();
    userBlocks_.clear();
}

bool ImClient::Start(std::string* error) {
    if (!stopFd_) {
        *error = std::string("cannot create the stop event: ") + std::strerror(errno);
        return false;
    }
    // The windows go to the environment's directory (main() points
    // CORVO_IM_DIR at --dir); checked here once for a clear message.
    const std::string path = platform::ImEndpointDirectoryPath();
    const auto endpoint =
        platform::ImEndpointDirectory::Open(platform::ImEndpointDirectory::Mode::kCreateIfMissing);
    auto objects = endpoint ? platform::OpenExchangeObjectDirectory() : std::nullopt;
    if (!objects) {
        const std::string where = endpoint ? platform::ExchangeObjectDirectoryPath() : path;
        *error = "cannot use the endpoint directory " + where + ": " +
                 (errno == EPERM ? std::string("not a private directory of this user (it must be "
                                               "owned by you, mode 0700, not a symbolic link)")
                                 : std::string(std::strerror(errno)));
        return false;
    }
    // Whatever a killed client left (its user blocks, above all) goes before
    // anything is published.
    platform::RemoveStaleExchangeObjects(objects->get());
    for (const auto& account : options_.accounts) {
        if (!PublishAccount(path, account, error)) {
            windows_.clear();
            userBlocks_.clear();
            return false;
        }
    }
    for (const auto& window : windows_) {
        if (options_.Hangs(window->account)) continue;  // nobody reads its socket
        threads_.emplace_back([this, w = window.get()] { Serve(*w); });
    }
    return true;
}

bool ImClient::PublishAccount(const std::string& directory, const std::u16string& account,
                              std::string* error) {
    // A repeated account shares the block published first.
    const std::u16string blockName = control::MakeUserBlockName(account);
    const bool wantBlock =
        !account.empty() && !options_.noUserBlock.contains(account) &&
        std::none_of(userBlocks_.begin(), userBlocks_.end(),
                     [&](const control::ExchangeBlock& b) { return b.name() == blockName; });
    if (wantBlock) {
        control::BlockStatus status = control::BlockStatus::kOk;
        auto block = control::ExchangeBlock::Create(blockName, &status);
        const int createErrno = errno;
        if (block)
            status =
                control::WriteBlockDocument(*block, UserDocumentText(options_, account), account);
        if (!block || status != control::BlockStatus::kOk) {
            const auto file = platform::ExchangeObjectFileName(blockName);
            *error = "cannot publish the user block " + Utf8(blockName) + " (" +
                     platform::ExchangeObjectDirectoryPath() + "/" + file.value_or("?") +
                     "): " + control::BlockStatusText(status);
            if (!block && status == control::BlockStatus::kSystemError)
                *error += createErrno == EEXIST
                              ? ": a live block of that name exists (another client publishes "
                                "this account)"
                              : std::string(": ") + std::strerror(createErrno);
            return false;
        }
        userBlocks_.push_back(std::move(*block));
    }
    for (auto kind : {platform::WindowKind::kTopLevel, platform::WindowKind::kMessageOnly}) {
        auto window = platform::PublishedWindow::Publish(kind, kImWindowClass, account);
        if (!window) {
            *error = "cannot publish a window for " + Utf8(account) + " in " + directory + ": " +
                     std::strerror(errno);
            return false;
        }
        windows_.push_back(std::make_unique<Window>(Window{account, std::move(*window)}));
    }
    return true;
}

void ImClient::Serve(const Window& window) {
    platform::CopyDataMessage received;
    bool got = false;
    const platform::CopyDataHandler handler = [&](const platform::CopyDataMessage& m) -> int64_t {
        received = m;
        got = true;
        return 1;
    };
    for (;;) {
        pollfd fds[2] = {{window.window.listenFd(), POLLIN, 0}, {stopFd_.get(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        got = false;
        // The reply goes back first: the sender is released at once, and the
        // exchange in the block follows while it waits for the event.
        if (window.window.ServeOne(handler, 0) == platform::ServeOutcome::kFailed) return;
        if (!got) continue;
        if (options_.printRequests) Print(DescribeMessage(received));
        ResponderReport report = AnswerLoginRequest(options_, window.account, received);
        if (!report.record.empty()) Print(report.record);
        if (!report.error.empty()) {
            std::lock_guard lock(outputMutex_);
            WriteAll(STDERR_FILENO, "corvo-imclient: " + report.error + "\n");
        }
    }
}

void ImClient::Print(const std::string& record) {
    std::lock_guard lock(outputMutex_);
    WriteAll(STDOUT_FILENO, record);
}

void ImClient::Stop() {
    if (stopFd_) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(stopFd_.get(), &one, sizeof one);
    }
    for (auto& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

}  // namespace corvo::imclient
