#include "xparam/file_loader.h"

#include <cstdint>
#include <cstdio>

#include "platform/file_stream.h"

namespace xparam {
namespace {

bool ReadStream(corvo::platform::FileStream file, std::unique_ptr<uint8_t[]>& block, size_t& size) {
    block.reset();
    size = 0;
    if (!file) return false;
    std::FILE* f = file.get();
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f);
    // Positions are 32-bit signed; this also refuses the bogus sizes that
    // some file systems report for directories.
    if (end < 0 || end > INT32_MAX || std::fseek(f, 0, SEEK_SET) != 0) return false;
    const auto total = static_cast<size_t>(end);
    // At least one byte, so that an empty file still gives a block.
    auto data = std::make_unique_for_overwrite<uint8_t[]>(total == 0 ? 1 : total);
    if (total != 0 && std::fread(data.get(), 1, total, f) != total) return false;
    if (!file.Close()) return false;
    block = std::move(data);
    size = total;
    return true;
}

}  // namespace

bool ReadWholeFile(const char* path, std::unique_ptr<uint8_t[]>& block, size_t& size) {
    return ReadStream(corvo::platform::FileStream::Open(path, "rb"), block, size);
}

bool ReadWholeFile(const char16_t* path, std::unique_ptr<uint8_t[]>& block, size_t& size) {
    return ReadStream(corvo::platform::FileStream::Open(path, "rb"), block, size);
}

}  // namespace xparam
