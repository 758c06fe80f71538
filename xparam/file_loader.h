// Loading a whole file into memory, for the XML reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace xparam {

// Reads the whole file at `path` (bytes as stored) into a new block of exactly
// the file's size. A wide path reaches the POSIX file system as UTF-8. Returns
// false, with `block` empty and `size` 0, when the path is null, the file
// cannot be opened, sized or read completely. An empty file gives true, size 0.
bool ReadWholeFile(const char* path, std::unique_ptr<uint8_t[]>& block, size_t& size);
bool ReadWholeFile(const char16_t* path, std::unique_ptr<uint8_t[]>& block, size_t& size);

}  // namespace xparam
