#include "xparam/encoding_sniffer.h"

#include <cstring>

namespace xparam {
namespace {

enum class Step { kMatched, kMismatch, kEnded };

// A cursor over the raw bytes of the XML declaration.
struct Scanner {
    const uint8_t* bytes;
    size_t size;
    size_t pos = 0;

    bool AtBlank() const { return pos < size && (bytes[pos] == ' ' || bytes[pos] == '\t'); }

    // Skips spaces and tabs, then compares `token`. The input must go on
    // after the token, or the step counts as ended.
    Step Match(const char* token) {
        while (AtBlank()) ++pos;
        size_t at = pos;
        for (const char* t = token; *t; ++t, ++at) {
            if (at >= size) return Step::kEnded;
            if (bytes[at] != static_cast<uint8_t>(*t)) return Step::kMismatch;
        }
        if (at >= size) return Step::kEnded;
        pos = at;
        return Step::kMatched;
    }

    // The first of two alternative tokens that matches from the same place.
    Step MatchEither(const char* first, const char* second) {
        const Step s = Match(first);
        return s == Step::kMismatch ? Match(second) : s;
    }
};

bool IsNameByte(uint8_t b) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '-' ||
           b == '_';
}

// Reads the encoding named by an XML declaration. Returns false when the
// input ends inside what is read; true with an empty name on any mismatch.
bool SniffDeclaration(const uint8_t* bytes, size_t size, char (&name)[kEncodingNameSize]) {
    Scanner s{bytes, size};
    const auto steps = [&]() -> Step {
        Step r;
        if ((r = s.Match("<?xml")) != Step::kMatched) return r;
        if (!s.AtBlank()) return Step::kMismatch;
        if ((r = s.Match("version")) != Step::kMatched) return r;
        if ((r = s.Match("=")) != Step::kMatched) return r;
        if ((r = s.MatchEither("\"1.0\"", "'1.0'")) != Step::kMatched) return r;
        if (!s.AtBlank()) return Step::kMismatch;
        if ((r = s.Match("encoding")) != Step::kMatched) return r;
        if ((r = s.Match("=")) != Step::kMatched) return r;
        return s.MatchEither("\"", "'");
    };
    const Step r = steps();
    if (r == Step::kEnded) return false;
    if (r == Step::kMismatch) return true;
    const size_t start = s.pos;
    size_t end = start;
    while (end < size && IsNameByte(bytes[end])) ++end;
    if (end >= size) return false;
    if (bytes[end] != '"' && bytes[end] != '\'') return true;
    size_t n = end - start;
    if (n > kEncodingNameSize - 1) n = kEncodingNameSize - 1;
    for (size_t k = 0; k < n; ++k) {
        const uint8_t b = bytes[start + k];
        name[k] = static_cast<char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
    }
    name[n] = 0;
    return true;
}

void SetName(char (&name)[kEncodingNameSize], const char* value) {
    std::strncpy(name, value, kEncodingNameSize - 1);
    name[kEncodingNameSize - 1] = 0;
}

}  // namespace

bool SniffEncoding(const uint8_t* bytes, size_t size, char (&name)[kEncodingNameSize],
                   int& markLength) {
    std::memset(name, 0, sizeof(name));
    markLength = 0;
    if (bytes == nullptr || size < 4) return false;
    const uint8_t b0 = bytes[0], b1 = bytes[1];
    if (b0 == 0x3C && b1 == 0x00) {
        SetName(name, "utf-16le");
    } else if (b0 == 0x00 && b1 == 0x3C) {
        SetName(name, "utf-16be");
    } else if (b0 == 0xFF && b1 == 0xFE) {
        SetName(name, "utf-16le");
        markLength = 2;
    } else if (b0 == 0xFE && b1 == 0xFF) {
        SetName(name, "utf-16be");
        markLength = 2;
    } else if (b0 == 0xEF && b1 == 0xBB && bytes[2] == 0xBF && bytes[3] == 0x3C) {
        SetName(name, "utf-8");
        markLength = 3;
    } else if (!SniffDeclaration(bytes, size, name)) {
        name[0] = 0;
        return false;
    }
    return true;
}

}  // namespace xparam
