#include "control/quick_login.h"

#include <new>
#include <utility>

#include "control/exchange_block.h"
#include "control/exchange_name.h"
#include "control/required_bstr.h"
#include "control/sso_login_ctrl.h"
#include "platform/com/bstr_ptr.h"
#include "platform/com/com_ptr.h"
#include "platform/com/ole_text.h"

namespace corvo::control {
namespace {

// "8208", the block size as the request line announces it.
constexpr std::u16string_view kAnnouncedBlockSize = u"8208";
static_assert(kBlockSize == 8208);

// `value` in decimal, as "%d" writes it.
std::u16string DecimalText(int32_t value) {
    const std::string narrow = std::to_string(value);
    return std::u16string(narrow.begin(), narrow.end());
}

// The account the page chose: its "strKey_FullUserID" up to the first NUL.
std::u16string ReadFullUserId(ISSOData* data) {
    BstrPtr name = RequiredBstr(kKeyFullUserID);
    BstrPtr value;
    data->GetDataStr(name.Get(), value.Out());  // the result is judged by the value alone
    return value ? std::u16string(AsUtf16(value.Get())) : std::u16string();
}

}  // namespace

std::u16string BuildLoginRequestLine(std::u16string_view blockName, std::u16string_view eventName) {
    std::u16string line;
    line.reserve(kImWindowClass.size() + kLoginRequestVerb.size() + kBlockNameParameter.size() +
                 blockName.size() + kEventNameParameter.size() + eventName.size() +
                 kBlockSizeParameter.size() + kAnnouncedBlockSize.size());
    line.append(kImWindowClass)
        .append(kLoginRequestVerb)
        .append(kBlockNameParameter)
        .append(blockName)
        .append(kEventNameParameter)
        .append(eventName)
        .append(kBlockSizeParameter)
        .append(kAnnouncedBlockSize);
    return line;
}

std::vector<uint8_t> BuildLoginRequestPayload(std::u16string_view line) {
    std::vector<uint8_t> payload;
    payload.reserve((line.size() + 1) * 2);
    for (char16_t unit : line) {
        payload.push_back(static_cast<uint8_t>(unit & 0xFF));
        payload.push_back(static_cast<uint8_t>(unit >> 8));
    }
    payload.push_back(0);
    payload.push_back(0);
    return payload;
}

// --- the platform's transport -------------------------------------------------

platform::ImWindowHandle PlatformLoginTransport::FindAccountWindow(std::u16string_view fullUserId) {
    const platform::ImWindowHandle window = platform::FindImWindow(
        platform::ImWindowParent::kDesktop, platform::kNoWindow, kImWindowClass, &fullUserId);
    if (window == platform::kNoWindow || !platform::IsImWindow(window)) return platform::kNoWindow;
    return window;
}

std::optional<platform::NamedEvent> PlatformLoginTransport::CreateCompletionEvent(
    std::u16string_view name) {
    return platform::NamedEvent::Create(name);
}

void PlatformLoginTransport::SendRequest(platform::ImWindowHandle window,
                                         std::span<const uint8_t> payload,
                                         std::chrono::milliseconds bound) {
    platform::SendCopyDataTimeout(window, kLoginRequestWParam, kLoginRequestDataKind, payload,
                                  bound);
}

bool PlatformLoginTransport::WaitForCompletion(platform::NamedEvent& event, uint32_t timeoutMs) {
    return event.Wait(timeoutMs) == platform::NamedEvent::WaitResult::kSignaled;
}

// --- the exchange -------------------------------------------------------------

LoginExchangeResult RunLoginExchange(const srlz::XParamSLHelper& helper,
                                     std::u16string_view fullUserId, LoginTransport& transport,
                                     const ExchangeNameSource& names) {
    LoginExchangeResult result;

    // Leg 1: the request, in a block that lives until this function returns
    // (the client opens it by name, and so does the read of the answer).
    const std::u16string blockName = names();
    const std::optional<ExchangeBlock> block = ExchangeBlock::Create(blockName);
    if (!block) {
        result.status = LoginExchangeStatus::kBlockFailed;
        return result;
    }
    std::u16string request;
    if (!helper.BuildLoginRequestText(fullUserId, kSSOLoginCtrlVersion, request) ||
        WriteBlockDocument(*block, request, fullUserId) != BlockStatus::kOk) {
        result.status = LoginExchangeStatus::kWriteFailed;
        return result;
    }

    const std::u16string eventName = names();
    const std::vector<uint8_t> payload =
        BuildLoginRequestPayload(BuildLoginRequestLine(blockName, eventName));

    // Leg 2: no window, no message and no event.
    const platform::ImWindowHandle window = transport.FindAccountWindow(fullUserId);
    if (window == platform::kNoWindow) {
        result.status = LoginExchangeStatus::kNoWindow;
        return result;
    }
    std::optional<platform::NamedEvent> event = transport.CreateCompletionEvent(eventName);
    if (!event) {
        result.status = LoginExchangeStatus::kEventFailed;
        return result;
    }
    transport.SendRequest(window, payload, kLoginRequestSendBound);

    // Leg 3.
    if (!transport.WaitForCompletion(*event, kLoginAnswerWaitMs)) {
        result.status = LoginExchangeStatus::kNotSignalled;
        return result;
    }

    // Leg 4: the answer, from the same block re-opened by name.
    std::u16string answer;
    if (ReadBlockDocument(std::u16string_view(blockName), fullUserId, &answer) !=
        BlockStatus::kOk) {
        result.status = LoginExchangeStatus::kAnswerUnreadable;
        return result;
    }
    result.answer = helper.ReadLoginAnswer(answer);
    result.status = LoginExchangeStatus::kAnswered;
    return result;
}

HRESULT BeginQuickLogin(const srlz::XParamSLHelper& helper, LONG lReserved, ISSOData* data,
                        ISSOData** out) {
    PlatformLoginTransport transport;
    return BeginQuickLogin(helper, lReserved, data, out, transport,
                           [] { return MakeExchangeName(); });
}

HRESULT BeginQuickLogin(const srlz::XParamSLHelper& helper, LONG lReserved, ISSOData* data,
                        ISSOData** out, LoginTransport& transport,
                        const ExchangeNameSource& names) {
    try {
        const std::u16string fullUserId = ReadFullUserId(data);
        if (fullUserId.empty()) return E_INVALIDARG;

        const LoginExchangeResult exchange = RunLoginExchange(helper, fullUserId, transport, names);
        // The client has processed the request even when lReserved rejects it.
        if (exchange.status != LoginExchangeStatus::kAnswered || exchange.answer.result != 1 ||
            lReserved != 0)
            return E_FAIL;

        // Everything that can fail comes before the page's object is touched.
        BstrPtr resultName = RequiredBstr(kKeyGOResult);
        BstrPtr resultValue = RequiredBstr(DecimalText(exchange.answer.result));
        BstrPtr urlName = RequiredBstr(kKeyResultURL);
        BstrPtr urlValue = RequiredBstr(exchange.answer.realSSOUrl);
        data->SetDataStr(resultName.Get(), resultValue.Get());
        data->SetDataStr(urlName.Get(), urlValue.Get());
        *out = ComPtr<ISSOData>(data).Detach();
        return S_OK;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace corvo::control
