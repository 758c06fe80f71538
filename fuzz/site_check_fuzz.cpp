// The site check on arbitrary address text and zone. The first input byte
// chooses the zone (0..4, or any other value), the rest is the address as
// UTF-8 (malformed sequences as single code units, so every unit value
// appears). Properties:
//  - the decision for a parsed address does not change when the address is
//    given again as the parser normalised it (scheme "://" host "/"),
//    whatever the verdict after the host was read, and the normalised form
//    settles;
//  - an address with user information is never allowed, and an http(s) one
//    is refused as such (or for its host, which is checked first);
//  - the table-free entry point agrees with the full check.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "control/site_lock.h"
#include "platform/url_parts.h"

namespace {

using namespace corvo;

std::u16string Decode(const uint8_t* data, size_t size) {
    std::u16string out;
    for (size_t i = 0; i < size;) {
        const uint8_t b = data[i];
        uint32_t cp = b;
        size_t n = 1;
        if (b >= 0xC2 && b <= 0xDF && i + 1 < size && (data[i + 1] & 0xC0) == 0x80) {
            cp = (b & 0x1F) << 6 | (data[i + 1] & 0x3F);
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF && i + 2 < size && (data[i + 1] & 0xC0) == 0x80 &&
                   (data[i + 2] & 0xC0) == 0x80) {
            cp = (b & 0x0F) << 12 | (data[i + 1] & 0x3F) << 6 | (data[i + 2] & 0x3F);
            n = 3;  // surrogates included: lone ones must be handled too
        } else if (b >= 0xF0 && b <= 0xF4 && i + 3 < size && (data[i + 1] & 0xC0) == 0x80 &&
                   (data[i + 2] & 0xC0) == 0x80 && (data[i + 3] & 0xC0) == 0x80) {
            cp = (b & 0x07) << 18 | (data[i + 1] & 0x3F) << 12 | (data[i + 2] & 0x3F) << 6 |
                 (data[i + 3] & 0x3F);
            n = 4;
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp <= 0xFFFF ? cp : b);
        }
        i += n;
    }
    return out;
}

bool HostWasRead(SiteLockVerdict v) {
    return v == SiteLockVerdict::kAllowed || v == SiteLockVerdict::kDeniedByEntry ||
           v == SiteLockVerdict::kNoMatch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int32_t zone = data[0] < 8 ? int32_t(data[0] % 5) : int32_t(int8_t(data[0]));
    const std::u16string address = Decode(data + 1, size - 1);
    const std::span<const SiteLockEntry> table(CSiteLock::Table(), CSiteLock::kEntryCount);

    const SiteLockDecision decision = CSiteLock::Check(table, address, zone);
    if (CSiteLock::IsAddressAllowed(address.data(), address.size(), zone) != decision.allowed())
        __builtin_trap();

    platform::UrlParts parts;
    if (parts.Crack(address)) {
        std::u16string ignored;
        const bool userInfo = parts.Get(platform::UrlPart::kUserName, size_t(-1), ignored) !=
                                  platform::UrlPartStatus::kAbsent ||
                              parts.Get(platform::UrlPart::kPassword, size_t(-1), ignored) !=
                                  platform::UrlPartStatus::kAbsent;
        if (userInfo && decision.allowed()) __builtin_trap();
        // An http(s) one is refused for its user information, unless its host
        // was refused first.
        if (userInfo && (decision.scheme == u"http" || decision.scheme == u"https") &&
            decision.verdict != SiteLockVerdict::kUserInfo &&
            decision.verdict != SiteLockVerdict::kBadHost)
            __builtin_trap();
    } else if (decision.verdict != SiteLockVerdict::kBadAddress) {
        __builtin_trap();
    }

    if (HostWasRead(decision.verdict)) {
        const std::u16string normalised = decision.scheme + u"://" + decision.host + u"/";
        const SiteLockDecision again = CSiteLock::Check(table, normalised, zone);
        if (again.verdict != decision.verdict || again.entry != decision.entry ||
            again.scheme != decision.scheme)
            __builtin_trap();
        // The host itself may be normalised once more: a host that IDN
        // conversion turned into digits ("\u00b2" gives "2") is a numeric
        // address the second time ("0.0.0.2"). After that it settles.
        if (again.host != decision.host) {
            const SiteLockDecision third =
                CSiteLock::Check(table, again.scheme + u"://" + again.host + u"/", zone);
            if (third.verdict != again.verdict || third.host != again.host) __builtin_trap();
        }
    }
    return 0;
}
