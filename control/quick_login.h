// The quick-login exchange with the IM client, behind BeginSSOLogin.
//
// Four legs, always in this order:
//  1. the request (a login document for the account) goes into a new named
//     exchange block, scrambled with the account's key;
//  2. one request line naming the block and a completion event is delivered
//     to the client's top-level window whose title is the account's full
//     user ID (WM_COPYDATA, dwData 1, bounded by 2000 ms; the outcome of the
//     delivery is not used);
//  3. the control waits up to 3000 ms for the client to signal the event;
//  4. the client's answer (again a login document) is read from the same
//     block, re-opened by name.
// The block, the event and both names live for one exchange only; every
// exchange makes new names. Nothing is kept between calls.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/login_request_line.h"
#include "corvo_sso_login.h"
#include "data/sso_login_record.h"
#include "data/xparam_sl_helper.h"
#include "platform/im_window.h"
#include "platform/named_event.h"

namespace corvo::control {

// How long delivering the request line may take, and how long the control
// waits for the client's completion signal. Fixed.
inline constexpr std::chrono::milliseconds kLoginRequestSendBound{2000};
inline constexpr uint32_t kLoginAnswerWaitMs = 3000;

// Keys of the page's data object.
inline constexpr char16_t kKeyFullUserID[] = u"strKey_FullUserID";
inline constexpr char16_t kKeyGOResult[] = u"strKey_GOResult";
inline constexpr char16_t kKeyResultURL[] = u"strKey_ResultURL";

// The request line for block `blockName` and event `eventName`: the window
// class, the verb, "&fname=" block, "&ename=" event, "&fsize=" "8208", with
// nothing in between.
std::u16string BuildLoginRequestLine(std::u16string_view blockName, std::u16string_view eventName);

// The WM_COPYDATA payload carrying `line`: its UTF-16LE code units and a
// terminating zero code unit, so cbData = (length + 1) * 2.
std::vector<uint8_t> BuildLoginRequestPayload(std::u16string_view line);

// The three operations the exchange needs from the platform. The platform's
// own (im_window.h, named_event.h) are the default; tests put a recording or
// failing one in their place.
class LoginTransport {
  public:
    virtual ~LoginTransport() = default;
    // The client's top-level window for the account, confirmed to exist
    // still; kNoWindow when there is none.
    virtual platform::ImWindowHandle FindAccountWindow(std::u16string_view fullUserId) = 0;
    // Creates (or opens) the named auto-reset completion event, not signalled.
    virtual std::optional<platform::NamedEvent> CreateCompletionEvent(std::u16string_view name) = 0;
    // Delivers the request synchronously within `bound`; the outcome is not used.
    virtual void SendRequest(platform::ImWindowHandle window, std::span<const uint8_t> payload,
                             std::chrono::milliseconds bound) = 0;
    // True only when the event was signalled within `timeoutMs`.
    virtual bool WaitForCompletion(platform::NamedEvent& event, uint32_t timeoutMs) = 0;
};

// The platform's transport. Stateless.
class PlatformLoginTransport final : public LoginTransport {
  public:
    platform::ImWindowHandle FindAccountWindow(std::u16string_view fullUserId) override;
    std::optional<platform::NamedEvent> CreateCompletionEvent(std::u16string_view name) override;
    void SendRequest(platform::ImWindowHandle window, std::span<const uint8_t> payload,
                     std::chrono::milliseconds bound) override;
    bool WaitForCompletion(platform::NamedEvent& event, uint32_t timeoutMs) override;
};

// Where an exchange ended. Everything but kAnswered is a failure.
enum class LoginExchangeStatus {
    kAnswered,          // the answer was read (its result is not judged here)
    kBlockFailed,       // the block could not be created or mapped
    kWriteFailed,       // the request did not fit or could not be converted
    kNoWindow,          // no client window for the account
    kEventFailed,       // the completion event could not be created
    kNotSignalled,      // the client did not signal within the wait
    kAnswerUnreadable,  // the block could not be read back
};

struct LoginExchangeResult {
    LoginExchangeStatus status = LoginExchangeStatus::kBlockFailed;
    srlz::SSOLoginRecord answer;  // meaningful for kAnswered only
};

// Makes one new block or event name per call.
using ExchangeNameSource = std::function<std::u16string()>;

// Runs the four legs for the account `fullUserId` (not empty). Names come
// from `names` (block first, then event); everything made is released before
// returning, on every path. Throws only std::bad_alloc.
LoginExchangeResult RunLoginExchange(const srlz::XParamSLHelper& helper,
                                     std::u16string_view fullUserId, LoginTransport& transport,
                                     const ExchangeNameSource& names);

// BeginSSOLogin after its gate and argument checks (`data` and `out` not
// null, *out already null): reads "strKey_FullUserID" from `data` (missing or
// empty: E_INVALIDARG), runs the exchange, and accepts the answer only when
// its result is 1 and `lReserved` is 0. Then *out is `data` with an added
// reference, and "strKey_GOResult" and "strKey_ResultURL" are written into
// it. Every other outcome is E_FAIL with *out null and `data` unchanged.
HRESULT BeginQuickLogin(const srlz::XParamSLHelper& helper, LONG lReserved, ISSOData* data,
                        ISSOData** out);
HRESULT BeginQuickLogin(const srlz::XParamSLHelper& helper, LONG lReserved, ISSOData* data,
                        ISSOData** out, LoginTransport& transport, const ExchangeNameSource& names);

}  // namespace corvo::control
