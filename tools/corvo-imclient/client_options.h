// The reference IM client's settings, as its command line gives them.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace corvo::imclient {

struct ClientOptions {
    // The accounts, in the order their windows are published (the order of
    // the user list). An account may repeat; an empty one publishes windows
    // with an empty title and no user block.
    std::vector<std::u16string> accounts;
    // The client's own version, written into every user document.
    std::u16string clientVersion = u"9.1.0.2025";

    // The answer to a quick login.
    int32_t result = 1;
    std::u16string answerUrl;

    // Fault switches.
    bool noSignal = false;                  // never signal the completion event
    uint32_t delayMs = 0;                   // wait this long before answering
    bool hangAll = false;                   // no window ever reads its socket
    std::set<std::u16string> hangAccounts;  // only these accounts' windows hang
    bool plainAnswer = false;               // answer with bBase64Encoded 0
    bool corruptAnswer = false;             // answer with a header no reader accepts
    std::set<std::u16string> noUserBlock;   // accounts published without a user block

    bool printRequests = false;  // one record per request on standard output
    std::string readyFile;       // written once everything is published

    bool Hangs(const std::u16string& account) const {
        return hangAll || hangAccounts.contains(account);
    }
};

// The answer address used when none is given: an https address on a login
// host that the control's site lock allows.
std::u16string DefaultAnswerUrl();

// The site description the client publishes for an account's family ("" for
// a family it does not know).
std::u16string SiteDescriptionFor(std::u16string_view siteId);

}  // namespace corvo::imclient
