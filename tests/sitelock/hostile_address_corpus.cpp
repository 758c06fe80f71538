#include "tests/sitelock/hostile_address_corpus.h"

#include <gtest/gtest.h>

#include <fstream>

#include "platform/strict_utf8.h"

namespace corvo::testing {

namespace {

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

}  // namespace

std::vector<CorpusRow> LoadHostileAddressCorpus(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    std::vector<CorpusRow> rows;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> fields = SplitTabs(line);
        CorpusRow row;
        row.line = number;
        row.text = fields[0];
        if (fields.size() != 5 || !Unescape(fields[0], row.address) ||
            (fields[2] != "allowed" && fields[2] != "refused")) {
            ADD_FAILURE() << "malformed line " << number << " of " << path;
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

}  // namespace corvo::testing
