// Where the conformance vectors go: one line per vector,
//   id <TAB> input <TAB> output
// with the output as lower-case hex bytes (or a word such as "fail"), so that
// the same program run on two systems gives lines that compare byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace corvo::conformance {

inline std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out.empty() ? "(empty)" : out;
}

// UTF-16 units as "u+xxxx" words.
inline std::string HexUnits(std::u16string_view units) {
    std::string out;
    char buf[8];
    for (char16_t u : units) {
        std::snprintf(buf, sizeof buf, "%04x", static_cast<unsigned>(u));
        if (!out.empty()) out += ' ';
        out += buf;
    }
    return out.empty() ? "(empty)" : out;
}

// FNV-1a, 64 bits: a fingerprint for outputs too long to print whole.
inline std::string Fingerprint(std::string_view bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char b : bytes) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "%zu bytes fnv1a64 %016llx", bytes.size(),
                  static_cast<unsigned long long>(h));
    return buf;
}

inline void Emit(std::string_view id, std::string_view input, std::string_view output) {
    std::fwrite(id.data(), 1, id.size(), stdout);
    std::fputc('\t', stdout);
    std::fwrite(input.data(), 1, input.size(), stdout);
    std::fputc('\t', stdout);
    std::fwrite(output.data(), 1, output.size(), stdout);
    std::fputc('\n', stdout);
}

// The vector groups (one file each).
void EmitCodePageVectors();
void EmitBlockVectors();
void EmitWriterVectors(const std::string& scratchDir);
void EmitReaderVectors();
// Every BMP character through code page 936 and every two-byte sequence back,
// one line each: the full map, to find where two converters part.
void EmitCodePage936Map();

}  // namespace corvo::conformance
