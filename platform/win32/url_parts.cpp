#include "platform/url_parts.h"

#include <shlwapi.h>
#include <windows.h>

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
    // UrlGetPartW parses on every call; an address it cannot take at all
    // (no scheme) is refused here, once.
    wchar_t scheme[kMaxSchemeLength + 1];
    DWORD length = kMaxSchemeLength + 1;
    const std::u16string copy(address);
    if (FAILED(::UrlGetPartW(corvo::AsOleText(copy.c_str()), scheme, &length, URL_PART_SCHEME, 0)))
        return false;
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
    if (FAILED(hr)) return UrlPartStatus::kFailed;
    // The system reports a missing part and an empty one alike (S_FALSE or
    // nothing written).
    if (hr == S_FALSE || length == 0) return UrlPartStatus::kAbsent;
    if (length > maxLength) return UrlPartStatus::kTooLong;
    out.assign(corvo::AsUtf16View(buffer.data(), length));
    return UrlPartStatus::kOk;
}

}  // namespace corvo::platform
