// The address corpus (hostile_addresses.tsv): shapes that have let attacker
// pages through allow-lists of this kind, and plainly allowed addresses, each
// with the verdict reasoned from the rules and the parser. A build whose
// address parser reads some of them otherwise names a file of its own
// verdicts for those (CORVO_SITELOCK_PLATFORM_CORPUS, same columns); such a
// verdict may refuse what the corpus allows, never allow what it refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control/site_lock.h"
#include "tests/sitelock/default_site_table.h"
#include "tests/sitelock/hostile_address_corpus.h"

namespace corvo {
namespace {

using testing::CorpusRow;
using testing::LoadHostileAddressCorpus;

// The corpus with this build's own verdicts put in place of the ones it
// overrides. Every override must name an address of the corpus and may only
// turn "allowed" into "refused".
std::vector<CorpusRow> LoadCorpus() {
    std::vector<CorpusRow> rows = LoadHostileAddressCorpus(CORVO_SITELOCK_CORPUS);
#ifdef CORVO_SITELOCK_PLATFORM_CORPUS
    for (const CorpusRow& own : LoadHostileAddressCorpus(CORVO_SITELOCK_PLATFORM_CORPUS)) {
        bool found = false;
        for (CorpusRow& row : rows) {
            if (row.text != own.text || row.zone != own.zone) continue;
            found = true;
            EXPECT_TRUE(row.allowed || !own.allowed)
                << "line " << own.line << " of the platform's verdicts allows what line "
                << row.line << " of the corpus refuses";
            row.allowed = own.allowed;
            row.verdict = own.verdict;
            row.reason = own.reason;
        }
        EXPECT_TRUE(found) << "line " << own.line
                           << " of the platform's verdicts names no corpus address";
    }
#endif
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
            << "line " << row.line << " " << row.text << " (" << row.reason << ")";
        EXPECT_EQ(SiteLockVerdictName(decision.verdict), row.verdict)
            << "line " << row.line << " " << row.text << " (" << row.reason << ")";
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
