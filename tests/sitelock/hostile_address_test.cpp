// The address corpus (hostile_addresses.tsv): shapes that have let attacker
// pages through allow-lists of this kind, and plainly allowed addresses, each
// with the verdict reasoned from the rules and the parser.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "control/site_lock.h"
#include "platform/strict_utf8.h"
#include "tests/sitelock/default_site_table.h"

namespace corvo {
namespace {

struct CorpusRow {
    int line = 0;
    std::u16string address;
    int32_t zone = 0;
    bool allowed = false;
    std::string verdict;
    std::string reason;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes the corpus escapes: \\ \t \n \r \0 and \uXXXX (one UTF-16 code unit,
// so lone surrogates can be written).
bool Unescape(const std::string& text, std::u16string& out) {
    std::string pending;  // plain UTF-8 run
    auto flush = [&]() {
        std::u16string run;
        if (!platform::StrictUtf8ToUtf16(pending, run)) return false;
        out += run;
        pending.clear();
        return true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            pending.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        char16_t unit;
        switch (text[i]) {
            case '\\':
                unit = u'\\';
                break;
            case 't':
                unit = u'\t';
                break;
            case 'n':
                unit = u'\n';
                break;
            case 'r':
                unit = u'\r';
                break;
            case '0':
                unit = u'\0';
                break;
            case 'u': {
                if (i + 4 >= text.size()) return false;
                unsigned value = 0;
                for (int k = 1; k <= 4; ++k) {
                    const int digit = HexDigit(text[i + k]);
                    if (digit < 0) return false;
                    value = value * 16 + static_cast<unsigned>(digit);
                }
                unit = static_cast<char16_t>(value);
                i += 4;
                break;
            }
            default:
                return false;
        }
        if (!flush()) return false;
        out.push_back(unit);
    }
    return flush();
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

std::vector<CorpusRow> LoadCorpus() {
    std::ifstream in(CORVO_SITELOCK_CORPUS);
    EXPECT_TRUE(in.good()) << "cannot open " << CORVO_SITELOCK_CORPUS;
    std::vector<CorpusRow> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = SplitTabs(line);
        CorpusRow row;
        row.line = number;
        if (fields.size() != 5 || !Unescape(fields[0], row.address) ||
            (fields[2] != "allowed" && fields[2] != "refused")) {
            ADD_FAILURE() << "malformed corpus line " << number;
            continue;
        }
        row.zone = std::stoi(fields[1]);
        row.allowed = fields[2] == "allowed";
        row.verdict = fields[3];
        row.reason = fields[4];
        rows.push_back(std::move(row));
    }
    return rows;
}

TEST(HostileAddressCorpus, EveryAddressGetsItsReasonedVerdict) {
    const std::vector<CorpusRow> rows = LoadCorpus();
    ASSERT_GE(rows.size(), 50u);
    size_t allowed = 0;
    for (const CorpusRow& row : rows) {
        const SiteLockDecision decision =
            CSiteLock::Check(testing::kDefaultSiteTable, row.address, row.zone);
        EXPECT_EQ(decision.allowed(), row.allowed)
            << "line " << row.line << " (" << row.reason << ")";
        EXPECT_EQ(SiteLockVerdictName(decision.verdict), row.verdict)
            << "line " << row.line << " (" << row.reason << ")";
        // "allowed" and the verdict name must agree within the corpus itself.
        EXPECT_EQ(row.allowed, row.verdict == "allowed") << "line " << row.line;
        allowed += row.allowed ? 1 : 0;
    }
    EXPECT_GE(allowed, 10u);  // both directions are covered
    EXPECT_GE(rows.size() - allowed, 50u);
}

// The corpus against the configured table through the public entry point,
// which the control calls: the default configuration gives the same answers.
TEST(HostileAddressCorpus, ConfiguredTableAgreesWhenBuiltWithDefaults) {
    const SiteLockEntry* table = CSiteLock::Table();
    for (uint32_t i = 0; i < CSiteLock::kEntryCount; ++i) {
        if (std::u16string_view(table[i].domain) !=
            std::u16string_view(testing::kDefaultSiteTable[i].domain)) {
            GTEST_SKIP() << "built with non-default host patterns";
        }
    }
    for (const CorpusRow& row : LoadCorpus()) {
        EXPECT_EQ(CSiteLock::IsAddressAllowed(row.address.data(), row.address.size(), row.zone),
                  row.allowed)
            << "line " << row.line << " (" << row.reason << ")";
    }
}

}  // namespace
}  // namespace corvo
