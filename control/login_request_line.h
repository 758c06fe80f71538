// The names of the quick-login request: the IM client's window class, which
// the request line starts with, the verb and the parameter names, and the
// WM_COPYDATA fields that carry the line. Shared with the IM client's side.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvo::control {

// The class of the IM client's per-account windows; the request line starts
// with it.
inline constexpr std::u16string_view kImWindowClass =
    u"Quorix{416219FA-7221-43cf-A056-359CA4BC9FEA}";
inline constexpr std::u16string_view kLoginRequestVerb = u"Corvo:reqssologin?";
inline constexpr std::u16string_view kBlockNameParameter = u"&fname=";
inline constexpr std::u16string_view kEventNameParameter = u"&ename=";
inline constexpr std::u16string_view kBlockSizeParameter = u"&fsize=";

// WM_COPYDATA's wParam and dwData for a request.
inline constexpr uint64_t kLoginRequestWParam = 0;
inline constexpr uint64_t kLoginRequestDataKind = 1;

}  // namespace corvo::control
