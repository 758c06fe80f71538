// The exchange block: a named shared-memory object of 8208 bytes that carries
// one document between the control and the IM client.
//
// Layout (all integers 32-bit unsigned little-endian):
//   0  headerSize      offset of the payload region (16 when we write)
//   4  capacity        length of the payload region (8192 when we write)
//   8  documentLength  bytes of document text at the start of the region
//  12  reserved        0
//  headerSize..        the payload region: the document text in code page 936
//                      followed by whatever the region held before; the whole
//                      region is scrambled (payload_scrambler.h)
// A reader honours the header it finds as long as it is consistent with the
// object: headerSize + capacity within the object, capacity a multiple of 8,
// documentLength not above capacity.
//
// The functions on in-memory images (EncodeBlockImage, DecodeBlockImage) and
// the ones on named objects share one code path, so a block saved to a file
// decodes exactly as the live block would.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "control/payload_scrambler.h"
#include "platform/mapped_view.h"
#include "platform/shared_memory.h"

namespace corvo::control {

inline constexpr uint32_t kBlockSize = 0x2010;  // 8208
inline constexpr uint32_t kBlockHeaderSize = 16;
inline constexpr uint32_t kBlockCapacity = kBlockSize - kBlockHeaderSize;  // 8192

struct BlockHeader {
    uint32_t headerSize = 0;
    uint32_t capacity = 0;
    uint32_t documentLength = 0;
    uint32_t reserved = 0;
};

BlockHeader LoadBlockHeader(std::span<const uint8_t, kBlockHeaderSize> bytes);
void StoreBlockHeader(const BlockHeader& header, std::span<uint8_t, kBlockHeaderSize> bytes);

// The header checks a reader makes, in the order it makes them; the first one
// that fails is reported.
enum class BlockHeaderCheck {
    kOk,
    kBeyondBlock,             // headerSize + capacity is more than the block holds
    kCapacityNotMultipleOf8,  // the payload cannot be unscrambled in 8-byte blocks
    kDocumentBeyondCapacity,  // documentLength is more than capacity
};

BlockHeaderCheck CheckBlockHeader(const BlockHeader& header, uint64_t blockSize);
// A short English description of a failed check, for messages.
const char* BlockHeaderCheckText(BlockHeaderCheck check);

// Outcome of the block operations. Everything but kOk is a failure.
enum class BlockStatus {
    kOk,
    kInvalidName,       // the name has no shared-memory object name
    kNotFound,          // no block of that name
    kSystemError,       // the system refused (errno tells why), or a peer shrank the block
    kTooSmall,          // the block is shorter than a header, or than 8208 bytes to write
    kBadHeader,         // header inconsistent with the block
    kDocumentTooLong,   // the text takes more than 8192 bytes in code page 936
    kConversionFailed,  // code page 936 conversion failed
    kOutOfMemory,
};

// A short English description, for messages.
const char* BlockStatusText(BlockStatus status);

class ExchangeBlock {
  public:
    // Creates a new block of 8208 zero bytes, read/write, private to the
    // user, and maps it; a live block of that name makes it fail (a stale one
    // is replaced). The block's name is removed when the returned object goes
    // away.
    static std::optional<ExchangeBlock> Create(std::u16string_view name,
                                               BlockStatus* status = nullptr);
    // Opens an existing live block of the user; it stays when the returned
    // object goes away.
    static std::optional<ExchangeBlock> Open(std::u16string_view name,
                                             platform::SharedMemory::Access access,
                                             BlockStatus* status = nullptr);

    const std::u16string& name() const { return name_; }
    const platform::SharedMemory& memory() const { return memory_; }

  private:
    ExchangeBlock(std::u16string name, platform::SharedMemory memory, platform::MappedView view)
        : name_(std::move(name)), memory_(std::move(memory)), view_(std::move(view)) {}

    std::u16string name_;
    platform::SharedMemory memory_;
    platform::MappedView view_;  // held while a created block lives
};

// Puts `text` (UTF-16) into a block image: header {16, 8192, length, 0}, the
// text in code page 936 at offset 16, the rest of the payload region as the
// image held it, then the whole region scrambled with `userId`'s key.
BlockStatus EncodeBlockImage(std::span<uint8_t, kBlockSize> image, std::u16string_view text,
                             std::u16string_view userId);
// The same with keys made from the given suffixes instead of the configured ones.
BlockStatus EncodeBlockImage(std::span<uint8_t, kBlockSize> image, std::u16string_view text,
                             std::u16string_view userId, const KeySuffixes& suffixes);

// Takes the document text out of a block image of any size: checks the
// header against the image, unscrambles a copy of the payload region with
// `userId`'s key and converts its first documentLength bytes (cut at the first
// zero byte) from code page 936. `text` is set only on success.
BlockStatus DecodeBlockImage(std::span<const uint8_t> image, std::u16string_view userId,
                             std::u16string* text);
// The same with keys made from the given suffixes instead of the configured ones.
BlockStatus DecodeBlockImage(std::span<const uint8_t> image, std::u16string_view userId,
                             const KeySuffixes& suffixes, std::u16string* text);

// EncodeBlockImage applied to a writable block in place. The block must hold
// at least 8208 bytes.
BlockStatus WriteBlockDocument(const ExchangeBlock& block, std::u16string_view text,
                               std::u16string_view userId);

// DecodeBlockImage applied to a block, read through its descriptor so that a
// peer shrinking or removing the block fails the read instead of the process.
BlockStatus ReadBlockDocument(const platform::SharedMemory& memory, std::u16string_view userId,
                              std::u16string* text);
BlockStatus ReadBlockDocument(const ExchangeBlock& block, std::u16string_view userId,
                              std::u16string* text);
// Opens the block of that name read-only, reads it, and closes it.
BlockStatus ReadBlockDocument(std::u16string_view blockName, std::u16string_view userId,
                              std::u16string* text);

}  // namespace corvo::control
