#include "tools/corvo-imclient/login_responder.h"

#include <chrono>
#include <thread>

#include "control/exchange_block.h"
#include "data/xparam_sl_helper.h"
#include "platform/named_event.h"
#include "platform/strict_utf8.h"
#include "tools/corvo-imclient/login_request.h"

namespace corvo::imclient {
namespace {

std::string Utf8(std::u16string_view text) {
    std::string out;
    if (!platform::StrictUtf16ToUtf8(text, out)) return "(not UTF-16)";
    return out;
}

std::string Hex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

// The answer record for a request: the configured result and address, the
// request's own source address and control version echoed back.
srlz::SSOLoginRecord MakeAnswer(const ClientOptions& options, std::u16string_view account,
                                const srlz::SSOLoginRecord& request) {
    srlz::SSOLoginRecord answer;
    answer.version = options.clientVersion;
    answer.ctrlversion = request.ctrlversion;
    answer.fulluserid = account;
    answer.result = options.result;
    answer.srcUrl = request.srcUrl;
    answer.realSSOUrl = options.answerUrl;
    // "{account}" in the address stands for the account that answers.
    static constexpr std::u16string_view kAccountField = u"{account}";
    for (size_t at = 0; (at = answer.realSSOUrl.find(kAccountField, at)) != std::u16string::npos;
         at += account.size())
        answer.realSSOUrl.replace(at, kAccountField.size(), account);
    return answer;
}

}  // namespace

std::string EscapeForRecord(std::u16string_view text) {
    std::string out;
    for (char c : Utf8(text)) {
        switch (c) {
            case '\r':
                out += "\\r";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string DescribeMessage(const platform::CopyDataMessage& message) {
    const auto line = DecodeRequestLine(message.data);
    return "request " + (line ? Utf8(*line) : std::string("(no line)")) + "\n" +
           "request-message wParam=" + std::to_string(message.wParam) +
           " dwData=" + std::to_string(message.dwData) +
           " cbData=" + std::to_string(message.data.size()) + " bytes=" + Hex(message.data) + "\n";
}

ResponderReport AnswerLoginRequest(const ClientOptions& options, std::u16string_view account,
                                   const platform::CopyDataMessage& message) {
    ResponderReport report;
    const std::string who = "account " + Utf8(account) + ": ";
    auto line = DecodeRequestLine(message.data);
    if (message.dwData != 1 || !line) {
        report.error = who + "ignored a message that is not a request line";
        return report;
    }
    auto request = ParseLoginRequest(std::move(*line));
    if (!request) {
        report.error = who + "ignored a malformed request line";
        return report;
    }
    if (options.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(options.delayMs));

    control::BlockStatus status = control::BlockStatus::kOk;
    auto block = control::ExchangeBlock::Open(request->blockName,
                                              platform::SharedMemory::Access::kReadWrite, &status);
    if (!block) {
        report.error = who + "cannot open block " + Utf8(request->blockName) + ": " +
                       control::BlockStatusText(status);
        return report;
    }
    std::u16string text;
    status = control::ReadBlockDocument(*block, account, &text);
    if (status != control::BlockStatus::kOk) {
        report.error = who + "cannot read the request: " + control::BlockStatusText(status);
        return report;
    }
    if (options.printRequests)
        report.record =
            "request-document " + Utf8(request->blockName) + " " + EscapeForRecord(text) + "\n";

    const srlz::XParamSLHelper helper;
    srlz::SSOLoginRecord answer = MakeAnswer(options, account, helper.ReadLoginAnswer(text));
    if (!options.plainAnswer) helper.SetFieldEncoding(answer, true);
    std::u16string answerText;
    if (!helper.WriteLoginDocument(answer, answerText)) {
        report.error = who + "cannot write the answer: the answer document could not be made";
        return report;
    }
    status = control::WriteBlockDocument(*block, answerText, account);
    if (status != control::BlockStatus::kOk) {
        report.error = who + "cannot write the answer: " + control::BlockStatusText(status);
        return report;
    }
    if (options.corruptAnswer) {
        // A capacity that is not a multiple of 8: no reader accepts the block.
        control::BlockHeader header{control::kBlockHeaderSize, control::kBlockCapacity - 2,
                                    uint32_t(answerText.size()), 0};
        std::array<uint8_t, control::kBlockHeaderSize> bytes{};
        control::StoreBlockHeader(header, bytes);
        block->memory().WriteAt(0, bytes);
    }
    if (options.noSignal) return report;
    auto event = platform::NamedEvent::Open(request->eventName);
    if (!event || !event->Set())
        report.error = who + "cannot signal event " + Utf8(request->eventName) +
                       " (the caller may have given up)";
    return report;
}

}  // namespace corvo::imclient
