#include "platform/url_parts.h"

#include <shlwapi.h>
#include <windows.h>

#include <iterator>
#include <string_view>
#include <vector>

#include "platform/com/ole_text.h"

namespace corvo::platform {

namespace {

// The same characters the other systems' parser refuses up front (see
// url_parts.h): control characters, spaces and the backslash, about which
// parsers disagree; and NUL, which the wide-string call would stop at.
constexpr bool IsRejectedUnit(char16_t unit) {
    return unit <= 0x20 || unit == 0x7F || unit == u'\\';
}

// True when every surrogate in `text` is part of a pair: the other systems'
// parser takes UTF-8, which a lone surrogate cannot be written in.
bool SurrogatesArePaired(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
            ++i;
        }
    }
    return true;
}

// UrlGetPartW hands the port over as written ("99999", "80:80", "8o"); the
// other systems' parser refuses such an address, and so does this one. No
// port, an empty one (the scheme's default) and an address whose scheme has
// no ports (the call fails) are fine.
bool PortIsValid(const wchar_t* address) {
    wchar_t port[16];
    DWORD length = static_cast<DWORD>(std::size(port));
    const HRESULT hr = ::UrlGetPartW(address, port, &length, URL_PART_PORT, 0);
    if (hr != S_OK) return hr != E_POINTER;  // no port (E_POINTER: a port too long)
    if (length > 5) return false;
    unsigned long value = 0;
    for (DWORD i = 0; i < length; ++i) {
        if (port[i] < L'0' || port[i] > L'9') return false;
        value = value * 10 + static_cast<unsigned long>(port[i] - L'0');
    }
    return value <= 65535;
}

// The longest scheme and address the system's URL functions know (wininet.h).
constexpr DWORD kMaxSchemeLength = 32;
constexpr DWORD kMaxUrlLength = 2084;

DWORD ToUrlPart(UrlPart part) {
    switch (part) {
        case UrlPart::kScheme:
            return URL_PART_SCHEME;
        case UrlPart::kHostName:
            return URL_PART_HOSTNAME;
        case UrlPart::kUserName:
            return URL_PART_USERNAME;
        case UrlPart::kPassword:
            return URL_PART_PASSWORD;
    }
    return URL_PART_NONE;
}

}  // namespace

struct UrlParts::Handle {
    std::u16string address;  // NUL-terminated for the system call
};

UrlParts::UrlParts() = default;
UrlParts::~UrlParts() = default;

bool UrlParts::Crack(std::u16string_view address) {
    handle_.reset();
    if (address.empty()) return false;
    for (char16_t unit : address) {
        if (IsRejectedUnit(unit)) return false;
    }
    if (!SurrogatesArePaired(address)) return false;
    // UrlGetPartW parses on every call; an address it cannot take at all
    // (no scheme) is refused here, once.
    wchar_t scheme[kMaxSchemeLength + 1];
    DWORD length = kMaxSchemeLength + 1;
    const std::u16string copy(address);
    if (FAILED(::UrlGetPartW(corvo::AsOleText(copy.c_str()), scheme, &length, URL_PART_SCHEME, 0)))
        return false;
    if (!PortIsValid(corvo::AsOleText(copy.c_str()))) return false;
    handle_ = std::make_unique<Handle>(Handle{copy});
    return true;
}

UrlPartStatus UrlParts::Get(UrlPart part, size_t maxLength, std::u16string& out) const {
    out.clear();
    if (!handle_) return UrlPartStatus::kFailed;
    const wchar_t* address = corvo::AsOleText(handle_->address.c_str());
    // kMaxUrlLength first; the call says how much a longer part needs.
    std::vector<wchar_t> buffer(kMaxUrlLength + 1);
    DWORD length = static_cast<DWORD>(buffer.size());
    HRESULT hr = ::UrlGetPartW(address, buffer.data(), &length, ToUrlPart(part), 0);
    if (hr == E_POINTER && length > buffer.size()) {
        buffer.resize(length);
        length = static_cast<DWORD>(buffer.size());
        hr = ::UrlGetPartW(address, buffer.data(), &length, ToUrlPart(part), 0);
    }
    if (hr == E_POINTER) return UrlPartStatus::kTooLong;
    // An address without user information has no user name and no password:
    // the call refuses those parts with E_INVALIDARG. "http://@host" and
    // "http://:@host" give them present and empty (S_OK, nothing written),
    // which the site lock refuses like any user information.
    if (hr == E_INVALIDARG && (part == UrlPart::kUserName || part == UrlPart::kPassword))
        return UrlPartStatus::kAbsent;
    if (FAILED(hr)) return UrlPartStatus::kFailed;
    if (hr == S_FALSE) return UrlPartStatus::kAbsent;
    if (length > maxLength) return UrlPartStatus::kTooLong;
    out.assign(corvo::AsUtf16View(buffer.data(), length));
    return UrlPartStatus::kOk;
}

}  // namespace corvo::platform
