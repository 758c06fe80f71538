// The control's version, returned by GetSSOLoginCtrlVersion and sent in the
// login request.
#pragma once

namespace corvo {

inline constexpr char16_t kSSOLoginCtrlVersion[] = u"1.0.0.1";

}  // namespace corvo
