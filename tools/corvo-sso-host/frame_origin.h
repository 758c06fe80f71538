// The origin of a frame's address, as a browser serializes it, to compare
// with the origin the browser reports for the frame.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvo::host {

// "scheme://host[:port]" of an http or https address: scheme and host in
// lower case, user name and password left out, the default port (80, 443)
// left out. nullopt for any other scheme and for an address without a host
// (its origin would be opaque or not comparable).
std::optional<std::string> OriginOfUrl(std::string_view url);

// True when `origin` (what the browser reports for the frame) is a real
// origin, not the opaque "null", and is the origin of `url`.
bool OriginMatchesUrl(std::string_view origin, std::string_view url);

}  // namespace corvo::host
