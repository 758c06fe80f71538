// File-system paths as UTF-8 text, the text of the tools' arguments and
// output on every system. A path's narrow string() is the ANSI code page's
// on Windows, which loses what that code page cannot hold (a user name in
// another script makes the temporary directory such a path).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace corvo::platform {

inline std::string PathToUtf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace corvo::platform
