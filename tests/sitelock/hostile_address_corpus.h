// The hostile-address corpus (hostile_addresses.tsv): one row per address,
// with the verdict reasoned from the site-lock rules and the address parser.
// Read by the site-lock tests and by the tool tests that run the same
// addresses through `corvo-sso sitelock check`.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvo::testing {

struct CorpusRow {
    int line = 0;
    std::string text;  // the address as the corpus writes it
    std::u16string address;
    int32_t zone = 0;
    bool allowed = false;
    std::string verdict;
    std::string reason;
};

// The rows of the corpus file at `path` (a malformed line is a test failure).
std::vector<CorpusRow> LoadHostileAddressCorpus(const std::string& path);

}  // namespace corvo::testing
