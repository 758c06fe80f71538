// Matching rules of the site lock: host patterns, zone markers, null domains,
// table order, deny entries, and the configured table's shape.
#include "control/site_lock.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "site_table_config.h"

namespace corvo {
namespace {

struct PatternCase {
    std::u16string_view pattern;
    std::u16string_view host;
    bool matches;
};

TEST(SiteLockPattern, Rules) {
    const PatternCase cases[] = {
        // "*": every host, even the empty one.
        {u"*", u"anything.test", true},
        {u"*", u"", true},
        // "*.S": proper subdomains of S only.
        {u"*.b.example", u"a.b.example", true},
        {u"*.b.example", u"x.a.b.example", true},
        {u"*.b.example", u"b.example", false},   // S itself
        {u"*.b.example", u"ab.example", false},  // no dot boundary
        {u"*.b.example", u"xb.example", false},
        {u"*.b.example", u"a.b.example.", false},  // trailing dot
        {u"*.b.example", u"a.B.example", false},   // case counts
        {u"*.b.example", u"example", false},       // H shorter than S
        {u"*.b.example", u".b.example",
         true},  // textual rule (the check refuses such hosts earlier)
        {u"*.x", u"a.x", true},
        {u"*.", u"*.", true},  // too short for the "*." rule: a plain host
        {u"*.", u"a.*.", true},
        {u"*.", u"a.", false},
        // "=S": exactly S.
        {u"=a.example", u"a.example", true},
        {u"=a.example", u"x.a.example", false},
        {u"=a.example", u"A.example", false},
        {u"=a.example", u"=a.example", false},
        {u"=", u"=", true},  // one character: a plain host "="
        {u"=", u"x.=", true},
        // plain host: the host and its subdomains.
        {u"a.example", u"a.example", true},
        {u"a.example", u"x.a.example", true},
        {u"a.example", u"x.y.a.example", true},
        {u"a.example", u"xa.example", false},
        {u"a.example", u"a.example.test", false},
        {u"a.example", u"example", false},
        {u"a.example", u"", false},
        {u"a.example", u"a.exampl", false},
        // an empty pattern matches nothing (not even "x." by the subdomain rule)
        {u"", u"", false},
        {u"", u"x.", false},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(CSiteLock::MatchPattern(c.pattern, c.host), c.matches)
            << std::string(c.pattern.begin(), c.pattern.end()) << " vs "
            << std::string(c.host.begin(), c.host.end());
    }
}

// A second formulation of the rules over labels: "*.S" matches when the host's
// labels end with S's labels and there are more of them; a plain host P when
// they end with P's labels.
std::vector<std::u16string> Labels(std::u16string_view text) {
    std::vector<std::u16string> labels;
    size_t start = 0;
    while (true) {
        const size_t dot = text.find(u'.', start);
        labels.emplace_back(text.substr(start, dot - start));
        if (dot == std::u16string_view::npos) return labels;
        start = dot + 1;
    }
}

bool LabelsEndWith(const std::vector<std::u16string>& host,
                   const std::vector<std::u16string>& suffix) {
    return host.size() >= suffix.size() &&
           std::equal(suffix.begin(), suffix.end(), host.end() - suffix.size());
}

bool ModelMatch(std::u16string_view pattern, std::u16string_view host) {
    if (pattern.empty()) return false;
    if (pattern == u"*") return true;
    if (pattern.size() > 2 && pattern.substr(0, 2) == u"*.") {
        const auto s = Labels(pattern.substr(2));
        const auto h = Labels(host);
        return h.size() > s.size() && LabelsEndWith(h, s);
    }
    if (pattern.size() >= 2 && pattern[0] == u'=') return host == pattern.substr(1);
    return LabelsEndWith(Labels(host), Labels(pattern));
}

TEST(SiteLockPattern, AgreesWithLabelModelOnRandomInput) {
    std::mt19937 random(20240611);
    const char16_t alphabet[] = {u'a', u'b', u'.', u'.'};
    auto randomText = [&](size_t maxLength) {
        std::u16string text(random() % (maxLength + 1), u'a');
        for (char16_t& c : text) c = alphabet[random() % 4];
        return text;
    };
    for (int i = 0; i < 20000; ++i) {
        std::u16string pattern = randomText(5);
        switch (random() % 4) {
            case 0:
                pattern = u"*." + pattern;
                break;
            case 1:
                pattern = u"=" + pattern;
                break;
            default:
                break;
        }
        const std::u16string host = randomText(8);
        ASSERT_EQ(CSiteLock::MatchPattern(pattern, host), ModelMatch(pattern, host))
            << std::string(pattern.begin(), pattern.end()) << " vs "
            << std::string(host.begin(), host.end());
    }
}

// A table using every kind of domain, including the zone markers and a deny
// entry ahead of an allow entry.
const SiteLockEntry* MarkerTable() {
    static const SiteLockEntry table[] = {
        {0, u"http", kSiteLockIntranet},     // 0: zone 1 or 2
        {0, u"https", kSiteLockMyComputer},  // 1: zone 0
        {0, u"ftp", kSiteLockTrusted},       // 2: zone 2
        {1, u"http", u"deny.example"},       // 3: deny wins over entry 4
        {0, u"http", u"*.example"},          // 4
        {0, u"file", nullptr},               // 5: empty host only
        {0, u"HTTP", u"*"},                  // 6: scheme compared exactly: never "HTTP"
        {0, nullptr, u"*"},                  // 7: no scheme: never matches
    };
    return table;
}
constexpr size_t kMarkerTableSize = 8;

struct MarkerCase {
    std::u16string_view address;
    int32_t zone;
    SiteLockVerdict verdict;
    int32_t entry;
};

TEST(SiteLockTable, ZoneMarkersNullDomainsAndOrder) {
    using V = SiteLockVerdict;
    const MarkerCase cases[] = {
        {u"http://any.test/", 1, V::kAllowed, 0},  // intranet marker: zone 1
        {u"http://any.test/", 2, V::kAllowed, 0},  // intranet marker: zone 2
        {u"http://any.test/", 0, V::kNoMatch, -1},
        {u"http://any.test/", 3, V::kNoMatch, -1},
        {u"http://any.test/", 4, V::kNoMatch, -1},
        {u"http://a.example/", 3, V::kAllowed, 4},
        {u"http://a.example/", 1, V::kAllowed, 0},  // first match decides
        {u"https://any.test/", 0, V::kAllowed, 1},  // my-computer marker
        {u"https://any.test/", 1, V::kNoMatch, -1},
        {u"https://any.test/", 2, V::kNoMatch, -1},
        {u"ftp://any.test/", 2, V::kAllowed, 2},  // trusted marker
        {u"ftp://any.test/", 1, V::kNoMatch, -1},
        {u"ftp://any.test/", 0, V::kNoMatch, -1},
        {u"http://deny.example/", 3, V::kDeniedByEntry, 3},
        {u"http://x.deny.example/", 3, V::kDeniedByEntry, 3},
        {u"http://deny.example/", 2, V::kAllowed, 0},  // the marker entry comes first
        {u"file:///etc/hosts", 3, V::kAllowed, 5},     // no host: null domain
        {u"file:///etc/hosts", 0, V::kAllowed, 5},
        {u"HTTP://a.example/", 3, V::kAllowed, 4},  // cracked scheme is "http"
        // A host too long to read is refused, never taken as the empty host
        // that the null-domain entry would accept.
        {u"file:///x", 3, V::kAllowed, 5},
    };
    for (const MarkerCase& c : cases) {
        const SiteLockDecision d =
            CSiteLock::Check({MarkerTable(), kMarkerTableSize}, c.address, c.zone);
        EXPECT_EQ(d.verdict, c.verdict)
            << std::string(c.address.begin(), c.address.end()) << " zone " << c.zone;
        EXPECT_EQ(d.entry, c.entry) << std::string(c.address.begin(), c.address.end());
    }
}

TEST(SiteLockTable, OverlongHostIsRefusedNotTreatedAsEmpty) {
    const SiteLockEntry table[] = {{0, u"ftp", nullptr}, {0, u"ftp", u"*"}};
    const std::u16string longHost = u"ftp://" + std::u16string(300, u'a') + u"/";
    const SiteLockDecision d = CSiteLock::Check(table, longHost, 3);
    EXPECT_EQ(d.verdict, SiteLockVerdict::kBadHost);
    EXPECT_EQ(CSiteLock::Check(table, u"ftp://a/", 3).entry, 1);
}

TEST(SiteLockTable, UserInfoRuleAppliesToHttpOnly) {
    const SiteLockEntry table[] = {{0, u"ftp", u"*"}, {0, u"https", u"*"}};
    EXPECT_TRUE(CSiteLock::Check(table, u"ftp://user:pw@host.test/", 3).allowed());
    EXPECT_EQ(CSiteLock::Check(table, u"https://user@host.test/", 3).verdict,
              SiteLockVerdict::kUserInfo);
    EXPECT_TRUE(CSiteLock::Check(table, u"https://host.test/", 3).allowed());
}

TEST(SiteLockTable, DecisionReportsSchemeAndComparedHost) {
    // The compared host is the converted one: U+3002 maps to ".", and upper
    // case goes. (A name that needs punycode is converted alike where the
    // system can; see docs/platforms.md for Wine.)
    const SiteLockEntry table[] = {{0, u"https", u"login.example"}};
    const SiteLockDecision d = CSiteLock::Check(table, u"HTTPS://Login\u3002example/", 3);
    EXPECT_TRUE(d.allowed());
    EXPECT_EQ(d.scheme, u"https");
    EXPECT_EQ(d.host, u"login.example");
    EXPECT_EQ(d.entry, 0);
}

TEST(SiteLockAddress, LengthCountsNotTheFirstNul) {
    const char16_t address[] = u"http://login.market.example/\0.evil";
    const size_t full = sizeof(address) / sizeof(char16_t) - 1;
    const size_t upToNul = std::u16string_view(address).size();
    const SiteLockEntry table[] = {{0, u"http", u"login.market.example"}};
    EXPECT_TRUE(CSiteLock::Check(table, {address, upToNul}, 3).allowed());
    EXPECT_EQ(CSiteLock::Check(table, {address, full}, 3).verdict, SiteLockVerdict::kBadAddress);
    EXPECT_FALSE(CSiteLock::IsAddressAllowed(nullptr, 0, 3));
    EXPECT_FALSE(CSiteLock::IsAddressAllowed(nullptr, 10, 3));
    EXPECT_FALSE(CSiteLock::IsAddressAllowed(address, 0, 3));
}

TEST(SiteLockConfiguredTable, KeepsKindsOrderAndSchemes) {
    const SiteLockEntry* table = CSiteLock::Table();
    ASSERT_NE(table, nullptr);
    auto domain = [&](int i) { return std::u16string_view(table[i].domain); };
    for (uint32_t i = 0; i < CSiteLock::kEntryCount; ++i) {
        EXPECT_EQ(table[i].action, 0u) << i;
        ASSERT_NE(table[i].domain, nullptr) << i;
        EXPECT_FALSE(domain(i).empty()) << i;
    }
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(std::u16string_view(table[i].scheme), u"http") << i;
        EXPECT_EQ(std::u16string_view(table[i + 7].scheme), u"https") << i;
        EXPECT_EQ(domain(i), domain(i + 7)) << i;
    }
    for (int i : {14, 16}) {
        EXPECT_EQ(std::u16string_view(table[i].scheme), u"http");
        EXPECT_EQ(std::u16string_view(table[i + 1].scheme), u"https");
        EXPECT_EQ(domain(i), domain(i + 1));
    }
    for (int i : {0, 4, 5, 6}) EXPECT_TRUE(domain(i).starts_with(u"*.")) << i;
    for (int i : {1, 2, 3, 14, 16}) {
        EXPECT_NE(domain(i).front(), u'*') << i;
        EXPECT_NE(domain(i).front(), u'=') << i;
    }
    EXPECT_EQ(domain(0), site_table_config::kB2bSubdomains);
    EXPECT_EQ(domain(16), site_table_config::kMarketLoginDaily);
}

}  // namespace
}  // namespace corvo
