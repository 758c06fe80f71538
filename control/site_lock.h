// The site lock: decides whether the page that hosts the control belongs to
// the allowed sites. The COM side (CSSOLoginCtrl) finds the page address and
// its security zone; this class cracks the address, converts an international
// host name to ASCII and matches the result against the allowed-site table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvo {

// One row of the allowed-site table.
struct SiteLockEntry {
    uint32_t action;         // 0 allows, anything else denies
    const char16_t* scheme;  // compared exactly (case counts)
    const char16_t* domain;  // host pattern, zone marker, or nullptr (empty host only)
};

// Zone markers, stored in SiteLockEntry::domain in place of a string pointer.
// They are never dereferenced.
inline const char16_t* SiteLockZoneMarker(intptr_t value) noexcept {
    return reinterpret_cast<const char16_t*>(value);
}
inline const char16_t* const kSiteLockIntranet = SiteLockZoneMarker(-1);    // zone 1 or 2
inline const char16_t* const kSiteLockMyComputer = SiteLockZoneMarker(-2);  // zone 0
inline const char16_t* const kSiteLockTrusted = SiteLockZoneMarker(-3);     // zone 2

// Security zones as the browser reports them.
inline constexpr int32_t kZoneLocalMachine = 0;
inline constexpr int32_t kZoneIntranet = 1;
inline constexpr int32_t kZoneTrusted = 2;
inline constexpr int32_t kZoneInternet = 3;
inline constexpr int32_t kZoneRestricted = 4;  // also taken before the zone is known

// Why the site lock decided as it did.
enum class SiteLockVerdict {
    kAllowed,        // an allow entry matched
    kDeniedByEntry,  // a deny entry matched first
    kNoMatch,        // no entry matched
    kBadAddress,     // the address is not a URL the parser accepts
    kBadScheme,      // no scheme, or a scheme longer than 32 characters
    kBadHost,        // host over 256 characters, unreadable, empty label or "%" in it
    kUserInfo,       // an http(s) address with a user name or password (even empty)
    kIdnFailed,      // the international host name cannot be converted
};

// A name for the verdict, e.g. "no-match" (for diagnostics).
const char* SiteLockVerdictName(SiteLockVerdict verdict);

struct SiteLockDecision {
    SiteLockVerdict verdict = SiteLockVerdict::kBadAddress;
    int32_t entry = -1;     // index of the deciding entry, -1 if none
    std::u16string scheme;  // the cracked scheme (when it was read)
    std::u16string host;    // the host as compared (ASCII after IDN conversion)

    bool allowed() const { return verdict == SiteLockVerdict::kAllowed; }
};

class CSiteLock {
  public:
    static constexpr uint32_t kEntryCount = 18;
    static constexpr size_t kMaxSchemeLength = 32;
    static constexpr size_t kMaxHostLength = 256;

    // The configured allowed-site table (kEntryCount entries).
    static const SiteLockEntry* Table();

    // Cracks the address (UTF-16, `length` code units; a NUL inside counts) and
    // matches it against Table(). zone: 0..4 (4 when unknown).
    static bool IsAddressAllowed(const char16_t* address, size_t length, int32_t zone);

    // The same decision against any table, with the reason.
    static SiteLockDecision Check(std::span<const SiteLockEntry> table, std::u16string_view address,
                                  int32_t zone);

    // Whether one entry matches a cracked scheme, host and zone.
    static bool EntryMatches(const SiteLockEntry& entry, std::u16string_view scheme,
                             std::u16string_view host, int32_t zone);

    // Host pattern rules: "*" every host; "*.S" every proper subdomain of S;
    // "=S" exactly S; any other P the host P and its subdomains. An empty
    // pattern matches nothing.
    static bool MatchPattern(std::u16string_view pattern, std::u16string_view host);
};

}  // namespace corvo
