#include "platform/posix/registry_name.h"

#include <algorithm>

namespace corvo::platform {

namespace {

unsigned char FoldAscii(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

bool IsControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
}

}  // namespace

bool IsValidRegistryKeyName(std::string_view name) {
    if (name.empty() || name.size() > kMaxRegistryKeyName) return false;
    return std::none_of(name.begin(), name.end(), [](char c) { return c == '\\' || IsControl(c); });
}

bool IsValidRegistryValueName(std::string_view name) {
    return name.size() <= kMaxRegistryValueName &&
           std::none_of(name.begin(), name.end(), IsControl);
}

bool IsValidRegistryString(std::string_view data) {
    return std::none_of(data.begin(), data.end(), [](char c) { return c != '\t' && IsControl(c); });
}

int CompareRegistryNames(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = FoldAscii(a[i]);
        const unsigned char y = FoldAscii(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

}  // namespace corvo::platform
