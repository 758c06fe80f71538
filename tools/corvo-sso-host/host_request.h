// One request of the extension to the host, as JSON:
//   {"id": ID, "method": NAME, "args": [...],
//    "frame": {"url": URL, "origin": ORIGIN}, "top": {"url": URL}}
// "frame" and "top" are what the browser reported of the sender (the
// extension's service worker adds them); a missing or null value stays empty.
// "id" (a number or a string) is the extension's name for the request; its
// answer carries it back, as answers go out in the order they are ready.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "platform/com/com.h"

namespace corvo::host {

using Json = nlohmann::ordered_json;

struct HostRequest {
    Json id;  // null when the request has none
    std::string method;
    Json args = Json::array();
    std::optional<std::string> frameUrl;
    std::optional<std::string> frameOrigin;
    std::optional<std::string> topUrl;
};

// A failed request: the HRESULT the page sees and a sentence for the page's
// developer.
struct HostError {
    HRESULT hr = E_FAIL;
    std::string message;
};

// Parses a message body; `request->id` is set whenever the body is an object
// with a usable "id", so that even a refused request's answer names it. Malformed JSON (invalid
// UTF-8 included), a body that is not an object, and members of the wrong type are E_INVALIDARG.
bool ParseHostRequest(std::string_view body, HostRequest* request, HostError* error);

// {"ok": true, "value": VALUE}
std::string ValueAnswer(const Json& value);
// {"ok": false, "error": NAME, "hresult": SIGNED, "message": TEXT}; NAME is
// the HRESULT's symbolic name, or its hexadecimal form when it has none.
std::string ErrorAnswer(const HostError& error);
// `answer` (an object's text) with "id": ID first; unchanged for a null ID.
std::string WithRequestId(const Json& id, const std::string& answer);

}  // namespace corvo::host
