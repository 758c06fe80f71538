#include "xparam/wide_string.h"

#include <cstdlib>
#include <new>

namespace xparam::wide_string_detail {

namespace {

constexpr uint64_t kMinCapacity = 8;
constexpr uint64_t kMaxCapacity = UINT32_MAX - 1;

uint64_t AtLeastMinimum(uint64_t capacity) {
    return capacity < kMinCapacity ? kMinCapacity : capacity;
}

}  // namespace

void* Reallocate(void* old, std::size_t unitSize, uint64_t capacity) {
    if (capacity > kMaxCapacity) throw std::bad_alloc();
    std::size_t bytes = sizeof(BlockHeader) + (static_cast<std::size_t>(capacity) + 1) * unitSize;
    void* block = std::realloc(old, bytes);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void Free(void* block) noexcept {
    std::free(block);
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
