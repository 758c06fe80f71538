// The name of a named kernel object (file mapping, event) as the wide-string
// calls take it: NUL-terminated, so a name with a NUL inside, which the call
// would cut short, is refused (EINVAL), as is the empty name.
#pragma once

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

namespace corvo::platform {

inline std::optional<std::u16string> KernelObjectName(std::u16string_view name) {
    if (name.empty() || name.find(u'\0') != std::u16string_view::npos) {
        errno = EINVAL;
        return std::nullopt;
    }
    return std::u16string(name);
}

}  // namespace corvo::platform
