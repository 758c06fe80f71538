// One published IM window endpoint, as the registration file in the endpoint
// directory describes it, and the text form of that file.
//
// The file is ASCII text, six lines, each "key value" ended by LF, in this
// order and nothing else:
//
//   corvo-im-window 1
//   kind top-level            (or "message-only")
//   pid 4711                  (decimal, > 0)
//   socket 00000000000000000007.sock
//   class 0051007500...       (UTF-16 code units, 4 upper-case hex digits each)
//   title 0063006E...         (likewise; empty for an empty title)
//
// Class and title are written code unit by code unit, so any UTF-16 text,
// including NUL and unpaired surrogates, comes back exactly. The socket is a
// file name inside the endpoint directory (no "/", not "." or "..").
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/window_kind.h"

namespace corvo::platform {

struct WindowRegistration {
    uint64_t id = 0;  // the sequence number in the file name; not part of the text
    WindowKind kind = WindowKind::kTopLevel;
    pid_t pid = 0;
    std::string socketName;
    std::u16string className;
    std::u16string title;

    bool operator==(const WindowRegistration&) const = default;
};

// Largest registration text accepted when reading.
inline constexpr size_t kMaxRegistrationText = 64 * 1024;

std::string EncodeWindowRegistration(const WindowRegistration& registration);

// Parses the text; nothing when it is not exactly the form above. The id of
// the result is 0 (the caller knows it from the file name).
std::optional<WindowRegistration> DecodeWindowRegistration(std::string_view text);

// True for a socket file name the registration may carry.
bool IsPlainFileName(std::string_view name);

}  // namespace corvo::platform
