#include "platform/url_parts.h"

#include <curl/curl.h>

#include <algorithm>

#include "platform/strict_utf8.h"

namespace corvo::platform {

namespace {

struct CurlUrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using CurlUrlPtr = std::unique_ptr<CURLU, CurlUrlDeleter>;

struct CurlStringDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using CurlStringPtr = std::unique_ptr<char, CurlStringDeleter>;

// Characters that make an address unparseable before libcurl sees it. Control
// characters and spaces: browsers strip or encode them while libcurl rejects
// them, and a silently removed TAB could join two labels of the host. The
// backslash: browsers read it as "/" in http(s) addresses while libcurl takes
// it as part of the user name or host, so the two would disagree about where
// the host ends.
constexpr bool IsRejectedUnit(char16_t unit) {
    return unit <= 0x20 || unit == 0x7F || unit == u'\\';
}

CURLUPart ToCurlPart(UrlPart part) {
    switch (part) {
        case UrlPart::kScheme:
            return CURLUPART_SCHEME;
        case UrlPart::kHostName:
            return CURLUPART_HOST;
        case UrlPart::kUserName:
            return CURLUPART_USER;
        case UrlPart::kPassword:
            return CURLUPART_PASSWORD;
    }
    return CURLUPART_URL;
}

}  // namespace

struct UrlParts::Handle {
    CurlUrlPtr url;
};

UrlParts::UrlParts() = default;
UrlParts::~UrlParts() = default;

bool UrlParts::Crack(std::u16string_view address) {
    handle_.reset();
    for (char16_t unit : address) {
        if (IsRejectedUnit(unit)) return false;
    }
    std::string utf8;
    if (address.empty() || !StrictUtf16ToUtf8(address, utf8)) return false;

    CurlUrlPtr url(curl_url());
    if (!url) return false;
    // Any scheme is parsed (the table decides which are allowed); no scheme is
    // guessed for an address that lacks one.
    if (curl_url_set(url.get(), CURLUPART_URL, utf8.c_str(), CURLU_NON_SUPPORT_SCHEME) !=
        CURLUE_OK) {
        return false;
    }
    handle_ = std::make_unique<Handle>(Handle{std::move(url)});
    return true;
}

UrlPartStatus UrlParts::Get(UrlPart part, size_t maxLength, std::u16string& out) const {
    out.clear();
    if (!handle_) return UrlPartStatus::kFailed;
    char* raw = nullptr;
    const CURLUcode rc = curl_url_get(handle_->url.get(), ToCurlPart(part), &raw, 0);
    CurlStringPtr text(raw);
    switch (rc) {
        case CURLUE_OK:
            break;
        case CURLUE_NO_SCHEME:
        case CURLUE_NO_HOST:
        case CURLUE_NO_USER:
        case CURLUE_NO_PASSWORD:
            return UrlPartStatus::kAbsent;
        default:
            return UrlPartStatus::kFailed;
    }
    if (!text) return UrlPartStatus::kFailed;
    if (!StrictUtf8ToUtf16(text.get(), out)) {
        out.clear();
        return UrlPartStatus::kFailed;
    }
    // libcurl decodes "%7F" (and other escapes it lets through) into the host;
    // a host holding a character no address may carry cannot be read.
    if (part == UrlPart::kHostName &&
        std::any_of(out.begin(), out.end(), [](char16_t unit) { return IsRejectedUnit(unit); })) {
        out.clear();
        return UrlPartStatus::kFailed;
    }
    if (out.size() > maxLength) {
        out.clear();
        return UrlPartStatus::kTooLong;
    }
    return UrlPartStatus::kOk;
}

}  // namespace corvo::platform
