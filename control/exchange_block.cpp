#include "control/exchange_block.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "control/payload_scrambler.h"
#include "platform/code_page.h"
#include "platform/code_page_string.h"

namespace corvo::control {
namespace {

uint32_t LoadLe32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

BlockStatus StatusFromErrno() {
    switch (errno) {
        case ENOENT:
            return BlockStatus::kNotFound;
        case EINVAL:
        case ENAMETOOLONG:
            return BlockStatus::kInvalidName;
        case ENOMEM:
            return BlockStatus::kOutOfMemory;
        default:
            return BlockStatus::kSystemError;
    }
}

void Report(BlockStatus* out, BlockStatus status) {
    if (out != nullptr) *out = status;
}

// The one decoding path for images and live blocks. `readAt(offset, span)`
// fills the span from the source or returns false.
template <class ReadAt>
BlockStatus DecodeBlock(uint64_t objectSize, ReadAt readAt, std::u16string_view userId,
                        const KeySuffixes& suffixes, std::u16string* text) {
    if (objectSize < kBlockHeaderSize) return BlockStatus::kTooSmall;
    std::array<uint8_t, kBlockHeaderSize> headerBytes;
    if (!readAt(0, std::span<uint8_t>(headerBytes))) return BlockStatus::kSystemError;
    const BlockHeader header = LoadBlockHeader(headerBytes);
    if (CheckBlockHeader(header, objectSize) != BlockHeaderCheck::kOk)
        return BlockStatus::kBadHeader;

    // Both scrambling passes work on each 8-byte block by itself at its own
    // offset, so unscrambling the blocks that hold the document's bytes gives
    // the same text as unscrambling the whole payload region: the rest is
    // neither read nor unscrambled. (capacity is a multiple of 8, so the
    // rounded length stays within it.)
    const uint32_t used = (header.documentLength + 7) & ~uint32_t(7);
    std::vector<uint8_t> payload;
    try {
        payload.resize(used);
    } catch (const std::bad_alloc&) {
        return BlockStatus::kOutOfMemory;
    }
    if (!readAt(header.headerSize, std::span<uint8_t>(payload))) return BlockStatus::kSystemError;
    if (!UnscramblePayload(payload.data(), payload.size(), userId, suffixes))
        return BlockStatus::kBadHeader;

    const auto textEnd = payload.begin() + header.documentLength;
    const size_t length = size_t(std::find(payload.begin(), textEnd, 0) - payload.begin());
    std::u16string decoded;
    if (platform::ConvertFromCodePage(
            platform::kCodePageGbk,
            std::string_view(reinterpret_cast<const char*>(payload.data()), length),
            decoded) != platform::CodePageStringStatus::kOk)
        return BlockStatus::kConversionFailed;
    *text = std::move(decoded);
    return BlockStatus::kOk;
}

}  // namespace

BlockHeader LoadBlockHeader(std::span<const uint8_t, kBlockHeaderSize> bytes) {
    return BlockHeader{LoadLe32(&bytes[0]), LoadLe32(&bytes[4]), LoadLe32(&bytes[8]),
                       LoadLe32(&bytes[12])};
}

void StoreBlockHeader(const BlockHeader& header, std::span<uint8_t, kBlockHeaderSize> bytes) {
    StoreLe32(&bytes[0], header.headerSize);
    StoreLe32(&bytes[4], header.capacity);
    StoreLe32(&bytes[8], header.documentLength);
    StoreLe32(&bytes[12], header.reserved);
}

// The header's promise checked against an object of `blockSize` bytes.
BlockHeaderCheck CheckBlockHeader(const BlockHeader& header, uint64_t blockSize) {
    if (uint64_t(header.headerSize) + header.capacity > blockSize)
        return BlockHeaderCheck::kBeyondBlock;
    if (header.capacity % 8 != 0) return BlockHeaderCheck::kCapacityNotMultipleOf8;
    if (header.documentLength > header.capacity) return BlockHeaderCheck::kDocumentBeyondCapacity;
    return BlockHeaderCheck::kOk;
}

const char* BlockHeaderCheckText(BlockHeaderCheck check) {
    switch (check) {
        case BlockHeaderCheck::kOk:
            return "the header fits the block";
        case BlockHeaderCheck::kBeyondBlock:
            return "headerSize + capacity is beyond the end of the block";
        case BlockHeaderCheck::kCapacityNotMultipleOf8:
            return "capacity is not a multiple of 8";
        case BlockHeaderCheck::kDocumentBeyondCapacity:
            return "documentLength is greater than capacity";
    }
    return "unknown header check";
}

const char* BlockStatusText(BlockStatus status) {
    switch (status) {
        case BlockStatus::kOk:
            return "success";
        case BlockStatus::kInvalidName:
            return "the block name cannot name a shared-memory object";
        case BlockStatus::kNotFound:
            return "no block of that name";
        case BlockStatus::kSystemError:
            return "the system refused the block operation";
        case BlockStatus::kTooSmall:
            return "the block is too small";
        case BlockStatus::kBadHeader:
            return "the block header does not fit the block";
        case BlockStatus::kDocumentTooLong:
            return "the document takes more than 8192 bytes in code page 936";
        case BlockStatus::kConversionFailed:
            return "the text could not be converted to or from code page 936";
        case BlockStatus::kOutOfMemory:
            return "out of memory";
    }
    return "unknown block status";
}

std::optional<ExchangeBlock> ExchangeBlock::Create(std::u16string_view name, BlockStatus* status) {
    auto memory = platform::SharedMemory::Create(name, kBlockSize);
    if (!memory) {
        Report(status, StatusFromErrno());
        return std::nullopt;
    }
    auto view = memory->Map(kBlockSize);
    if (!view) {
        Report(status, errno == EINVAL ? BlockStatus::kTooSmall : StatusFromErrno());
        return std::nullopt;
    }
    Report(status, BlockStatus::kOk);
    return ExchangeBlock(std::u16string(name), std::move(*memory), std::move(*view));
}

std::optional<ExchangeBlock> ExchangeBlock::Open(std::u16string_view name,
                                                 platform::SharedMemory::Access access,
                                                 BlockStatus* status) {
    auto memory = platform::SharedMemory::Open(name, access);
    if (!memory) {
        Report(status, StatusFromErrno());
        return std::nullopt;
    }
    Report(status, BlockStatus::kOk);
    return ExchangeBlock(std::u16string(name), std::move(*memory), platform::MappedView());
}

BlockStatus EncodeBlockImage(std::span<uint8_t, kBlockSize> image, std::u16string_view text,
                             std::u16string_view userId) {
    return EncodeBlockImage(image, text, userId, ConfiguredKeySuffixes());
}

BlockStatus EncodeBlockImage(std::span<uint8_t, kBlockSize> image, std::u16string_view text,
                             std::u16string_view userId, const KeySuffixes& suffixes) {
    std::string bytes;
    switch (platform::ConvertToCodePage(platform::kCodePageGbk, text, bytes)) {
        case platform::CodePageStringStatus::kOk:
            break;
        case platform::CodePageStringStatus::kTooLong:
            return BlockStatus::kDocumentTooLong;
        case platform::CodePageStringStatus::kFailed:
            return BlockStatus::kConversionFailed;
    }
    if (bytes.size() > kBlockCapacity) return BlockStatus::kDocumentTooLong;
    if (!bytes.empty()) std::memcpy(image.data() + kBlockHeaderSize, bytes.data(), bytes.size());
    const uint32_t length = uint32_t(bytes.size());
    StoreBlockHeader({kBlockHeaderSize, kBlockCapacity, length, 0},
                     image.first<kBlockHeaderSize>());
    if (!ScramblePayload(image.data() + kBlockHeaderSize, kBlockCapacity, userId, suffixes))
        return BlockStatus::kBadHeader;
    return BlockStatus::kOk;
}

BlockStatus DecodeBlockImage(std::span<const uint8_t> image, std::u16string_view userId,
                             std::u16string* text) {
    return DecodeBlockImage(image, userId, ConfiguredKeySuffixes(), text);
}

BlockStatus DecodeBlockImage(std::span<const uint8_t> image, std::u16string_view userId,
                             const KeySuffixes& suffixes, std::u16string* text) {
    auto readAt = [image](uint64_t offset, std::span<uint8_t> out) {
        if (offset > image.size() || out.size() > image.size() - offset) return false;
        if (!out.empty()) std::memcpy(out.data(), image.data() + offset, out.size());
        return true;
    };
    return DecodeBlock(image.size(), readAt, userId, suffixes, text);
}

BlockStatus WriteBlockDocument(const ExchangeBlock& block, std::u16string_view text,
                               std::u16string_view userId) {
    std::array<uint8_t, kBlockSize> image;
    const platform::SharedMemory& memory = block.memory();
    const auto size = memory.Size();
    if (!size) return BlockStatus::kSystemError;
    if (*size < kBlockSize) return BlockStatus::kTooSmall;
    if (!memory.ReadAt(0, image)) return BlockStatus::kSystemError;
    const BlockStatus status = EncodeBlockImage(image, text, userId);
    if (status != BlockStatus::kOk) return status;
    if (!memory.WriteAt(0, image)) return BlockStatus::kSystemError;
    return BlockStatus::kOk;
}

BlockStatus ReadBlockDocument(const platform::SharedMemory& memory, std::u16string_view userId,
                              std::u16string* text) {
    const auto size = memory.Size();
    if (!size) return BlockStatus::kSystemError;
    auto readAt = [&memory](uint64_t offset, std::span<uint8_t> out) {
        return memory.ReadAt(offset, out);
    };
    // Only the 8208 bytes a block is made with are ever read: a peer that
    // grows the object (POSIX) or the page rounding of a view (Windows) does
    // not let a header claim more.
    return DecodeBlock(std::min<uint64_t>(*size, kBlockSize), readAt, userId,
                       ConfiguredKeySuffixes(), text);
}

BlockStatus ReadBlockDocument(const ExchangeBlock& block, std::u16string_view userId,
                              std::u16string* text) {
    return ReadBlockDocument(block.memory(), userId, text);
}

BlockStatus ReadBlockDocument(std::u16string_view blockName, std::u16string_view userId,
                              std::u16string* text) {
    BlockStatus status;
    const auto block =
        ExchangeBlock::Open(blockName, platform::SharedMemory::Access::kReadOnly, &status);
    if (!block) return status;
    return ReadBlockDocument(*block, userId, text);
}

}  // namespace corvo::control
