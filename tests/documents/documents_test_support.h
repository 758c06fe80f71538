// Helpers shared by the document tests: readable UTF-16 literals in messages,
// a seeded random source, and the code page 936 round trip as a model.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <random>
#include <string>

#include "data/field_codec.h"
#include "data/sso_login_record.h"
#include "data/sso_user_record.h"

namespace corvo::srlz::test {

// ASCII as is, everything else as \uXXXX, for failure messages.
inline std::string Printable(std::u16string_view s) {
    std::string out;
    for (char16_t c : s) {
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
            out += buf;
        }
    }
    return out;
}

// What a text becomes after the trip through code page 936 bytes.
inline std::u16string Through936(std::u16string_view s) {
    return FromFieldBytes(ToFieldBytes(s));
}

// The seed of the property tests: fixed, unless CORVO_TEST_SEED overrides it.
inline uint32_t TestSeed() {
    if (const char* env = std::getenv("CORVO_TEST_SEED"))
        return uint32_t(std::strtoul(env, nullptr, 0));
    return 20240601u;
}

}  // namespace corvo::srlz::test

namespace corvo::srlz {

inline void PrintTo(const SSOLoginRecord& r, std::ostream* os) {
    *os << "{b64=" << r.bBase64Encoded << " version=\"" << test::Printable(r.version)
        << "\" ctrlversion=\"" << test::Printable(r.ctrlversion) << "\" fulluserid=\""
        << test::Printable(r.fulluserid) << "\" result=" << r.result << " srcUrl=\""
        << test::Printable(r.srcUrl) << "\" realSSOUrl=\"" << test::Printable(r.realSSOUrl)
        << "\"}";
}

inline void PrintTo(const SSOUserRecord& r, std::ostream* os) {
    *os << "{b64=" << r.bBase64Encoded << " version=\"" << test::Printable(r.version)
        << "\" shortUserID=\"" << test::Printable(r.shortUserID) << "\" fullUserID=\""
        << test::Printable(r.fullUserID) << "\" siteID=\"" << test::Printable(r.siteID)
        << "\" siteDescript=\"" << test::Printable(r.siteDescript) << "\"}";
}

}  // namespace corvo::srlz
