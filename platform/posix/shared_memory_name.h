// The POSIX object name that stands for a shared-memory block name.
//
// Block names are UTF-16 text (a brace-enclosed GUID, or the user-block prefix
// followed by a full user ID) and may hold characters that a POSIX
// shared-memory name cannot, "/" above all. The object name is "/" followed by
// the block name in UTF-8 with these bytes written as "%" and two upper-case
// hexadecimal digits: "%", "/", and every byte outside 0x21-0x7E (space,
// control characters and all bytes of non-ASCII characters). Every other byte
// stands for itself. The mapping is reversible; docs/ipc.md describes it for
// clients.
//
// A name that cannot be mapped fails: the empty name, a name with a lone
// surrogate (UTF-8 cannot hold it), "." and "..", and a name whose escaped form
// is longer than NAME_MAX (255) bytes. errno is then EINVAL, or ENAMETOOLONG
// for a name that is too long.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvo::platform {

// "/" + escaped name, or nothing when the name cannot be mapped (see above).
std::optional<std::string> SharedMemoryObjectName(std::u16string_view blockName);

// The inverse: the block name an object name stands for, or nothing when the
// text is not an object name this mapping produces (no leading "/", a bad or
// needless escape, ill-formed UTF-8).
std::optional<std::u16string> BlockNameFromObjectName(std::string_view objectName);

}  // namespace corvo::platform
