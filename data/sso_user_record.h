// SSOUserRecord: the content of a user document, which the IM client publishes
// for each logged-in account. A plain value: it owns its strings and may be
// copied.
#pragma once

#include <string>

namespace corvo::srlz {

struct SSOUserRecord {
    // Whether the string fields hold plain text (false) or the field encoding
    // of their code page 936 bytes (true).
    bool bBase64Encoded = false;
    std::u16string version;  // the version of the IM client that published it
    std::u16string shortUserID;
    std::u16string fullUserID;
    std::u16string siteID;
    std::u16string siteDescript;

    friend bool operator==(const SSOUserRecord&, const SSOUserRecord&) = default;
};

}  // namespace corvo::srlz
