// Decodes arbitrary block images through the path `corvo-sso block decode`
// uses. The first 8208 bytes (or fewer) are the image; bytes beyond form the
// user ID as UTF-16 code units (little-endian pairs), else a fixed ID is used.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "control/exchange_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace corvo::control;
    const size_t imageSize = std::min<size_t>(size, kBlockSize);
    std::u16string userId = u"cnalichnfuzzuser";
    if (size > kBlockSize) {
        userId.clear();
        for (size_t i = kBlockSize; i + 1 < size; i += 2)
            userId += char16_t(data[i] | data[i + 1] << 8);
    }
    std::u16string text;
    const BlockStatus status = DecodeBlockImage(std::span(data, imageSize), userId, &text);
    if (status == BlockStatus::kOk && text.size() > imageSize) __builtin_trap();
    return 0;
}
