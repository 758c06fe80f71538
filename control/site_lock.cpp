#include "control/site_lock.h"

#include "platform/idn.h"
#include "platform/url_parts.h"
#include "site_table_config.h"

namespace corvo {

namespace {

namespace cfg = site_table_config;

constexpr char16_t kHttp[] = u"http";
constexpr char16_t kHttps[] = u"https";

constexpr SiteLockEntry kSiteTable[CSiteLock::kEntryCount] = {
    {0, kHttp, cfg::kB2bSubdomains},     {0, kHttp, cfg::kB2bLogin},
    {0, kHttp, cfg::kB2bLoginTest},      {0, kHttp, cfg::kB2bLoginDev},
    {0, kHttp, cfg::kRegion2Subdomains}, {0, kHttp, cfg::kShopSubdomains},
    {0, kHttp, cfg::kB2bSldSubdomains},  {0, kHttps, cfg::kB2bSubdomains},
    {0, kHttps, cfg::kB2bLogin},         {0, kHttps, cfg::kB2bLoginTest},
    {0, kHttps, cfg::kB2bLoginDev},      {0, kHttps, cfg::kRegion2Subdomains},
    {0, kHttps, cfg::kShopSubdomains},   {0, kHttps, cfg::kB2bSldSubdomains},
    {0, kHttp, cfg::kMarketLogin},       {0, kHttps, cfg::kMarketLogin},
    {0, kHttp, cfg::kMarketLoginDaily},  {0, kHttps, cfg::kMarketLoginDaily},
};

char16_t AsciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
}

bool EqualsIgnoringAsciiCase(std::u16string_view text, std::u16string_view lower) {
    if (text.size() != lower.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (AsciiLower(text[i]) != lower[i]) return false;
    }
    return true;
}

bool HasNonAscii(std::u16string_view text) {
    for (char16_t c : text) {
        if (c >= 0x80) return true;
    }
    return false;
}

// Host text that no browser loads but a suffix pattern would accept: an empty
// label (a leading dot, two dots in a row: ".b2b.example" ends with
// ".b2b.example") or a "%" left over from a doubly percent-encoded address
// ("x%252e.b2b.example" cracks to "x%2e.b2b.example"). A single trailing dot
// is left to the pattern rules.
bool IsMalformedHost(std::u16string_view host) {
    return host.starts_with(u'.') || host.find(u"..") != std::u16string_view::npos ||
           host.find(u'%') != std::u16string_view::npos;
}

// `host` is `suffix` preceded by at least one character, the last of them ".".
bool IsProperSubdomainOf(std::u16string_view host, std::u16string_view suffix) {
    return host.size() > suffix.size() && host.ends_with(suffix) &&
           host[host.size() - suffix.size() - 1] == u'.';
}

SiteLockDecision Refuse(SiteLockVerdict verdict, SiteLockDecision&& decision) {
    decision.verdict = verdict;
    return std::move(decision);
}

}  // namespace

const char* SiteLockVerdictName(SiteLockVerdict verdict) {
    switch (verdict) {
        case SiteLockVerdict::kAllowed:
            return "allowed";
        case SiteLockVerdict::kDeniedByEntry:
            return "denied-by-entry";
        case SiteLockVerdict::kNoMatch:
            return "no-match";
        case SiteLockVerdict::kBadAddress:
            return "bad-address";
        case SiteLockVerdict::kBadScheme:
            return "bad-scheme";
        case SiteLockVerdict::kBadHost:
            return "bad-host";
        case SiteLockVerdict::kUserInfo:
            return "user-info";
        case SiteLockVerdict::kIdnFailed:
            return "idn-failed";
    }
    return "unknown";
}

const SiteLockEntry* CSiteLock::Table() {
    return kSiteTable;
}

bool CSiteLock::IsAddressAllowed(const char16_t* address, size_t length, int32_t zone) {
    if (address == nullptr) return false;
    return Check(kSiteTable, std::u16string_view(address, length), zone).allowed();
}

SiteLockDecision CSiteLock::Check(std::span<const SiteLockEntry> table, std::u16string_view address,
                                  int32_t zone) {
    using platform::UrlPart;
    using platform::UrlPartStatus;
    SiteLockDecision decision;

    platform::UrlParts parts;
    if (!parts.Crack(address)) return Refuse(SiteLockVerdict::kBadAddress, std::move(decision));

    if (parts.Get(UrlPart::kScheme, kMaxSchemeLength, decision.scheme) != UrlPartStatus::kOk ||
        decision.scheme.empty()) {
        return Refuse(SiteLockVerdict::kBadScheme, std::move(decision));
    }

    // No host part at all is an empty host (matched by null-domain entries
    // only); a host that is there but cannot be read refuses, so that it can
    // never pass for an empty one.
    switch (parts.Get(UrlPart::kHostName, kMaxHostLength, decision.host)) {
        case UrlPartStatus::kOk:
        case UrlPartStatus::kAbsent:
            break;
        case UrlPartStatus::kTooLong:
        case UrlPartStatus::kFailed:
            return Refuse(SiteLockVerdict::kBadHost, std::move(decision));
    }

    // Credentials in front of the host ("http://allowed@evil/") are refused;
    // so is an empty user information ("http://@host/"), which only serves to
    // confuse readers and parsers about where the host begins.
    if (EqualsIgnoringAsciiCase(decision.scheme, kHttp) ||
        EqualsIgnoringAsciiCase(decision.scheme, kHttps)) {
        std::u16string ignored;
        constexpr size_t kAnyLength = static_cast<size_t>(-1);
        if (parts.Get(UrlPart::kUserName, kAnyLength, ignored) != UrlPartStatus::kAbsent ||
            parts.Get(UrlPart::kPassword, kAnyLength, ignored) != UrlPartStatus::kAbsent) {
            return Refuse(SiteLockVerdict::kUserInfo, std::move(decision));
        }
    }

    if (HasNonAscii(decision.host)) {
        std::u16string ascii;
        if (!platform::IdnToAscii(decision.host, kMaxHostLength, ascii)) {
            return Refuse(SiteLockVerdict::kIdnFailed, std::move(decision));
        }
        decision.host = std::move(ascii);
    }
    if (IsMalformedHost(decision.host))
        return Refuse(SiteLockVerdict::kBadHost, std::move(decision));

    for (size_t i = 0; i < table.size(); ++i) {
        if (EntryMatches(table[i], decision.scheme, decision.host, zone)) {
            decision.entry = static_cast<int32_t>(i);
            decision.verdict =
                table[i].action == 0 ? SiteLockVerdict::kAllowed : SiteLockVerdict::kDeniedByEntry;
            return decision;
        }
    }
    return Refuse(SiteLockVerdict::kNoMatch, std::move(decision));
}

bool CSiteLock::EntryMatches(const SiteLockEntry& entry, std::u16string_view scheme,
                             std::u16string_view host, int32_t zone) {
    if (entry.scheme == nullptr || scheme != std::u16string_view(entry.scheme)) return false;
    if (entry.domain == kSiteLockIntranet) return zone == kZoneIntranet || zone == kZoneTrusted;
    if (entry.domain == kSiteLockMyComputer) return zone == kZoneLocalMachine;
    if (entry.domain == kSiteLockTrusted) return zone == kZoneTrusted;
    if (entry.domain == nullptr) return host.empty();
    return MatchPattern(entry.domain, host);
}

bool CSiteLock::MatchPattern(std::u16string_view pattern, std::u16string_view host) {
    if (pattern.empty()) return false;
    if (pattern == u"*") return true;
    if (pattern.size() > 2 && pattern.starts_with(u"*.")) {
        return IsProperSubdomainOf(host, pattern.substr(2));
    }
    if (pattern.size() >= 2 && pattern.front() == u'=') return host == pattern.substr(1);
    return host == pattern || IsProperSubdomainOf(host, pattern);
}

}  // namespace corvo
