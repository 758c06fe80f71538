// Name comparison as the registry and the registrar make it: ASCII letters
// without case, every other byte as it is (UTF-8 text is compared exactly).
#pragma once

#include <cstddef>
#include <string_view>

namespace corvo::module {

inline bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

}  // namespace corvo::module
