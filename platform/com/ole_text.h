// The one place where UTF-16 text crosses between portable code (char16_t) and
// the system's character type (OLECHAR, WCHAR: wchar_t on Windows, where it is
// 16 bits wide; char16_t in our own COM layer). The two types have the same
// size and representation, so the views below only change the pointer type.
#pragma once

#include <string_view>

#include "platform/com/com.h"

namespace corvo {

static_assert(sizeof(OLECHAR) == sizeof(char16_t) && alignof(OLECHAR) == alignof(char16_t),
              "OLECHAR must be a 16-bit code unit");

inline const OLECHAR* AsOleText(const char16_t* text) noexcept {
    return reinterpret_cast<const OLECHAR*>(text);
}
inline OLECHAR* AsOleText(char16_t* text) noexcept {
    return reinterpret_cast<OLECHAR*>(text);
}
inline const char16_t* AsUtf16(const OLECHAR* text) noexcept {
    return reinterpret_cast<const char16_t*>(text);
}
inline char16_t* AsUtf16(OLECHAR* text) noexcept {
    return reinterpret_cast<char16_t*>(text);
}
// `count` code units of system text, as a portable view.
inline std::u16string_view AsUtf16View(const OLECHAR* text, size_t count) noexcept {
    return text ? std::u16string_view(AsUtf16(text), count) : std::u16string_view();
}

}  // namespace corvo
