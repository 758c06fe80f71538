// Names of registry keys and values: compared with ASCII case folding (as the
// Windows registry does for the names this system uses) while each name keeps
// the case it was created with.
#pragma once

#include <string>
#include <string_view>

namespace corvo::platform {

// Negative, zero or positive like strcmp, after folding 'A'..'Z' to 'a'..'z'.
int CompareRegistryNames(std::string_view a, std::string_view b);

inline bool RegistryNamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && CompareRegistryNames(a, b) == 0;
}

// Longest key name (one path component), as on Windows.
inline constexpr size_t kMaxRegistryKeyName = 255;
// Longest value name, as on Windows.
inline constexpr size_t kMaxRegistryValueName = 16383;

// A key name is 1..255 bytes without a backslash (the path separator) and without
// control characters.
bool IsValidRegistryKeyName(std::string_view name);
// A value name is 0..16383 bytes without control characters ("" is the
// key's default value).
bool IsValidRegistryValueName(std::string_view name);
// String data holds no control characters other than tab: the text file that
// keeps the registry has one value per line.
bool IsValidRegistryString(std::string_view data);

// Ordering of a map keyed by registry names (transparent: lookups by string_view).
struct RegistryNameLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return CompareRegistryNames(a, b) < 0;
    }
};

}  // namespace corvo::platform
