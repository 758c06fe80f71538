#include "tools/corvo-sso-host/host_request.h"

#include <cstdio>

#include "platform/com/hresult_name.h"

namespace corvo::host {
namespace {

bool Invalid(HostError* error, std::string message) {
    *error = {E_INVALIDARG, std::move(message)};
    return false;
}

// A string member of `object` (null or absent: empty).
bool OptionalString(const Json& object, const char* name, std::optional<std::string>* out,
                    HostError* error, const char* where) {
    const auto it = object.find(name);
    if (it == object.end() || it->is_null()) return true;
    if (!it->is_string())
        return Invalid(error, std::string("\"") + where + "." + name + "\" must be a string");
    *out = it->get<std::string>();
    return true;
}

bool SenderPart(const Json& request, const char* name, const char* urlKey,
                std::optional<std::string>* url, std::optional<std::string>* origin,
                HostError* error) {
    const auto it = request.find(name);
    if (it == request.end() || it->is_null()) return true;
    if (!it->is_object()) return Invalid(error, std::string("\"") + name + "\" must be an object");
    if (!OptionalString(*it, urlKey, url, error, name)) return false;
    return !origin || OptionalString(*it, "origin", origin, error, name);
}

}  // namespace

bool ParseHostRequest(std::string_view body, HostRequest* request, HostError* error) {
    Json json = Json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (json.is_discarded()) return Invalid(error, "the request is not well-formed UTF-8 JSON");
    if (!json.is_object()) return Invalid(error, "the request must be a JSON object");
    if (const auto id = json.find("id"); id != json.end() && !id->is_null()) {
        if (!id->is_number() && !id->is_string())
            return Invalid(error, "\"id\" must be a number or a string");
        request->id = *id;
    }
    const auto method = json.find("method");
    if (method == json.end() || !method->is_string())
        return Invalid(error, "the request has no \"method\" string");
    request->method = method->get<std::string>();
    if (const auto args = json.find("args"); args != json.end() && !args->is_null()) {
        if (!args->is_array()) return Invalid(error, "\"args\" must be an array");
        request->args = *args;
    }
    return SenderPart(json, "frame", "url", &request->frameUrl, &request->frameOrigin, error) &&
           SenderPart(json, "top", "url", &request->topUrl, nullptr, error);
}

std::string ValueAnswer(const Json& value) {
    Json answer = Json::object();
    answer["ok"] = true;
    answer["value"] = value;
    return answer.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string ErrorAnswer(const HostError& error) {
    Json answer = Json::object();
    answer["ok"] = false;
    if (const char* name = HResultName(error.hr)) {
        answer["error"] = name;
    } else {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(error.hr));
        answer["error"] = hex;
    }
    answer["hresult"] = static_cast<int32_t>(error.hr);
    answer["message"] = error.message;
    // Replace, not throw, should a message carry bytes that are not UTF-8.
    return answer.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string WithRequestId(const Json& id, const std::string& answer) {
    if (id.is_null() || answer.size() < 2 || answer.front() != '{') return answer;
    return "{\"id\":" + id.dump() + (answer == "{}" ? "" : ",") + answer.substr(1);
}

}  // namespace corvo::host
