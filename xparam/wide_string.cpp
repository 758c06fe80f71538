#include "xparam/wide_string.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "xparam/small_block_pool.h"

namespace xparam::wide_string_detail {

namespace {

constexpr uint64_t kMinCapacity = 8;

uint64_t AtLeastMinimum(uint64_t capacity) {
    return capacity < kMinCapacity ? kMinCapacity : capacity;
}

std::size_t BlockBytes(std::size_t unitSize, uint64_t capacity) {
    return sizeof(BlockHeader) + (static_cast<std::size_t>(capacity) + 1) * unitSize;
}

}  // namespace

void* Reallocate(void* old, std::size_t unitSize, uint64_t capacity) {
    if (capacity > kMaxCapacity) throw std::bad_alloc();
    const std::size_t bytes = BlockBytes(unitSize, capacity);
    if (old != nullptr && (static_cast<BlockHeader*>(old)->capacity & kInArena) == 0) {
        auto* header = static_cast<BlockHeader*>(old);
        const std::size_t oldBytes = BlockBytes(unitSize, header->capacity);
        if (SmallBlockPool::SameBlock(oldBytes, bytes)) {
            header->capacity = static_cast<uint32_t>(capacity);
            return old;
        }
        if (oldBytes > SmallBlockPool::kMaxPooledSize && bytes > SmallBlockPool::kMaxPooledSize) {
            // Both sizes lie outside the pool, which serves them from malloc.
            void* block = std::realloc(old, bytes);
            if (block == nullptr) throw std::bad_alloc();
            static_cast<BlockHeader*>(block)->capacity = static_cast<uint32_t>(capacity);
            return block;
        }
    }
    void* block = SmallBlockPool::Allocate(bytes);
    static_cast<BlockHeader*>(block)->capacity = static_cast<uint32_t>(capacity);
    if (old != nullptr) {
        auto* header = static_cast<BlockHeader*>(old);
        const std::size_t oldBytes = BlockBytes(unitSize, CapacityOf(header));
        std::memcpy(static_cast<char*>(block) + sizeof(BlockHeader),
                    static_cast<char*>(old) + sizeof(BlockHeader),
                    (oldBytes < bytes ? oldBytes : bytes) - sizeof(BlockHeader));
        static_cast<BlockHeader*>(block)->length = header->length;
        Free(old, unitSize);
    }
    return block;
}

void Free(void* block, std::size_t unitSize) noexcept {
    if (block == nullptr) return;
    const uint32_t capacity = static_cast<BlockHeader*>(block)->capacity;
    if (capacity & kInArena) {
        PageArena::Release(block);
        return;
    }
    SmallBlockPool::Free(block, BlockBytes(unitSize, capacity));
}

uint64_t CapacityForAssign(uint32_t capacity, uint64_t needed) {
    uint64_t largest = AtLeastMinimum(needed + needed / 2);
    if (capacity >= needed && capacity <= largest) return 0;
    return AtLeastMinimum(needed);
}

uint64_t CapacityForAppendRun(uint32_t length, uint64_t newLength) {
    uint64_t grown = uint64_t(length) + length / 2;
    uint64_t capacity = AtLeastMinimum(newLength > grown ? newLength : grown);
    // Stay within the 32-bit length field as long as the content itself fits.
    return capacity > kMaxCapacity && newLength <= kMaxCapacity ? kMaxCapacity : capacity;
}

uint64_t CapacityForAppendUnit(uint64_t newLength) {
    uint64_t capacity = AtLeastMinimum(newLength + newLength / 2);
    return capacity > kMaxCapacity && newLength <= kMaxCapacity ? kMaxCapacity : capacity;
}

}  // namespace xparam::wide_string_detail
