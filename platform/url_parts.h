// The parts of a page address that the site lock looks at: scheme, host name,
// user name and password. On Windows this is UrlGetPartW; elsewhere libcurl's
// URL API (curl_url) parses the address.
//
// What the POSIX parser returns (see docs/sitelock.md):
//  - the scheme in lower case ("HTTP://x" gives "http");
//  - the host name as written, upper case kept, a trailing dot kept, the port
//    and the brackets of an IPv6 literal not removed (brackets kept);
//  - a percent-encoded host decoded ("a%2eb" gives "a.b"); a host that decodes
//    to a character not allowed in a host name ("%2f", "%00") fails the parse,
//    and one that decodes to a control character, space, DEL or backslash
//    that libcurl lets through ("%7f") cannot be read (kFailed);
//  - user name and password still percent-encoded, "absent" when the address
//    has no user information, present but empty for "http://@host" and
//    "http://:@host".
// The address fails to parse (Crack returns false) when it contains a
// control character, a space, a backslash, a lone surrogate, or anything
// libcurl rejects (no "scheme://" form, bad port, bad host name).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace corvo::platform {

// Outcome of reading one part.
enum class UrlPartStatus {
    kOk,       // the part is present (possibly empty) and fits
    kAbsent,   // the address has no such part
    kTooLong,  // the part is longer than the limit the caller gave
    kFailed,   // the part cannot be represented as UTF-16 text
};

enum class UrlPart { kScheme, kHostName, kUserName, kPassword };

class UrlParts {
  public:
    UrlParts();
    ~UrlParts();
    UrlParts(const UrlParts&) = delete;
    UrlParts& operator=(const UrlParts&) = delete;

    // Parses `address` (UTF-16, exactly address.size() code units: a NUL inside
    // counts). Returns false when the address is not a URL this parser accepts.
    bool Crack(std::u16string_view address);

    // Reads one part of the last cracked address into `out` (at most
    // `maxLength` code units).
    UrlPartStatus Get(UrlPart part, size_t maxLength, std::u16string& out) const;

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
};

}  // namespace corvo::platform
