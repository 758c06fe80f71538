// SSOLoginRecord: the content of a login document, one type for both
// directions of a quick login (the control's request and the IM client's
// answer). A plain value: it owns its strings and may be copied.
#pragma once

#include <cstdint>
#include <string>

namespace corvo::srlz {

struct SSOLoginRecord {
    // Whether the string fields hold plain text (false) or the field encoding
    // of their code page 936 bytes (true). `result` is never encoded.
    bool bBase64Encoded = false;
    std::u16string version;
    std::u16string ctrlversion;
    std::u16string fulluserid;
    // Starts at -1, a value the IM client never reports: an answer that
    // carries no readable "result" keeps it and so counts as a failure (only
    // 1 means success).
    int32_t result = -1;
    std::u16string srcUrl;
    std::u16string realSSOUrl;

    friend bool operator==(const SSOLoginRecord&, const SSOLoginRecord&) = default;
};

}  // namespace corvo::srlz
