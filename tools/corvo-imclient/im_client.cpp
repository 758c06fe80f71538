#include "tools/corvo-imclient/im_client.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "control/exchange_name.h"
#include "data/xparam_sl_helper.h"
#include "platform/im_client_endpoint.h"
#include "platform/strict_utf8.h"
#include "tools/corvo-imclient/login_request.h"
#include "tools/corvo-imclient/login_responder.h"

namespace corvo::imclient {
namespace {

std::string Utf8(std::u16string_view text) {
    std::string out;
    return platform::StrictUtf16ToUtf8(text, out) ? out : std::string("(not UTF-16)");
}

void WriteAll(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
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

ImClient::ImClient(ClientOptions options) : options_(std::move(options)) {}

ImClient::~ImClient() {
    // Windows first (so no request finds a window without its block), then blocks.
    Stop();
    userBlocks_.clear();
}

bool ImClient::Start(const std::string& directory, std::string* error) {
    if (!platform::PrepareImClientEndpoint(directory, error)) return false;
    for (const auto& account : options_.accounts) {
        if (!PublishAccount(account, error)) {
            windows_.clear();
            userBlocks_.clear();
            return false;
        }
    }
    return true;
}

bool ImClient::PublishAccount(const std::u16string& account, std::string* error) {
    // A repeated account shares the block published first.
    const std::u16string blockName = control::MakeUserBlockName(account);
    const bool wantBlock =
        !account.empty() && !options_.noUserBlock.contains(account) &&
        std::none_of(userBlocks_.begin(), userBlocks_.end(),
                     [&](const control::ExchangeBlock& b) { return b.name() == blockName; });
    if (wantBlock) {
        const std::string what = "cannot publish the user block " + Utf8(blockName) +
                                 platform::ExchangeObjectLocation(blockName) + ": ";
        // Creating a name a live block holds fails on every system, so two
        // clients never write one block.
        control::BlockStatus status = control::BlockStatus::kOk;
        auto block = control::ExchangeBlock::Create(blockName, &status);
        const int createErrno = errno;
        if (block)
            status =
                control::WriteBlockDocument(*block, UserDocumentText(options_, account), account);
        if (!block || status != control::BlockStatus::kOk) {
            *error = what + control::BlockStatusText(status);
            if (!block && status == control::BlockStatus::kSystemError)
                *error += createErrno == EEXIST
                              ? ": a live block of that name exists (another client publishes "
                                "this account)"
                              : std::string(": ") + std::strerror(createErrno);
            return false;
        }
        userBlocks_.push_back(std::move(*block));
    }
    platform::ServedWindow::Receiver receiver;
    if (!options_.Hangs(account))  // a hung window is never served
        receiver = [this, account](const platform::CopyDataMessage& m) { Answer(account, m); };
    for (auto kind : {platform::WindowKind::kTopLevel, platform::WindowKind::kMessageOnly}) {
        auto window = platform::ServedWindow::Publish(kind, kImWindowClass, account, receiver);
        if (!window) {
            *error = "cannot publish a window for " + Utf8(account) + ": " + std::strerror(errno);
            return false;
        }
        windows_.push_back(std::move(window));
    }
    return true;
}

void ImClient::Answer(const std::u16string& account, const platform::CopyDataMessage& message) {
    if (options_.printRequests) Print(DescribeMessage(message));
    ResponderReport report = AnswerLoginRequest(options_, account, message);
    if (!report.record.empty()) Print(report.record);
    if (!report.error.empty()) PrintError("corvo-imclient: " + report.error + "\n");
}

void ImClient::Print(const std::string& record) {
    std::lock_guard lock(outputMutex_);
    WriteAll(stdout, record);
}

void ImClient::PrintError(const std::string& text) {
    std::lock_guard lock(outputMutex_);
    WriteAll(stderr, text);
}

void ImClient::Stop() {
    windows_.clear();
}

}  // namespace corvo::imclient
