// The XParam library's own counted string: one pointer (null while empty) to a
// heap block holding the capacity and the length (32-bit each, in units) followed
// by the units and a terminating zero unit.
//
// WideString (UTF-16 code units) holds names, text values and writer output;
// ByteString (bytes) holds Binary values. Both share the growth rule:
//  - a block holds at least 8 units;
//  - appending a run that does not fit grows to max(new length, 8, 1.5 * length);
//  - appending one unit to a full block grows to max(8, 1.5 * new length);
//  - assigning reuses the block unless it is too small or larger than
//    max(8, 1.5 * needed length).
// A block may also sit in a page of a PageArena (AssignInArena, used by the
// XML reader): the high bit of its capacity field marks it, and the block then
// counts towards its page's live blocks. It behaves as any other block; when
// it has to grow, the text moves to a block of its own.
// Running out of memory throws std::bad_alloc; nothing else throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

#include "platform/compiler.h"
#include "xparam/page_arena.h"
#include "xparam/short_copy.h"

namespace xparam {

namespace wide_string_detail {

struct BlockHeader {
    uint32_t capacity;  // units, excluding the terminator; kInArena marks a page block
    uint32_t length;    // units, excluding the terminator
};

constexpr uint32_t kInArena = 0x80000000u;
// The most units a string holds; a larger capacity throws std::bad_alloc.
constexpr uint64_t kMaxCapacity = kInArena - 1;

inline uint32_t CapacityOf(const BlockHeader* h) noexcept {
    return h->capacity & ~kInArena;
}

// Allocation of blocks; kept out of line so the hot append path stays small.
// Returns a block with room for the header, `capacity` units and the
// terminator, its capacity field set; `old` (may be null) is reallocated with
// its contents preserved. Blocks come from the small-block pool, sized by their
// capacity, so a block is freed with the unit size it was allocated with.
void* Reallocate(void* old, std::size_t unitSize, uint64_t capacity);
void Free(void* block, std::size_t unitSize) noexcept;

// Capacity for an assignment of `needed` units into a block of `capacity`, or 0
// when the current block serves.
uint64_t CapacityForAssign(uint32_t capacity, uint64_t needed);

// Free for a block known not to be null; a page block is released inline.
inline void FreeBlock(void* block, std::size_t unitSize) noexcept {
    if (static_cast<BlockHeader*>(block)->capacity & kInArena) {
        PageArena::Release(block);
    } else {
        Free(block, unitSize);
    }
}
uint64_t CapacityForAppendRun(uint32_t length, uint64_t newLength);
uint64_t CapacityForAppendUnit(uint64_t newLength);

}  // namespace wide_string_detail

template <typename Unit>
class BasicWideString {
    static_assert(std::is_trivially_copyable_v<Unit> && sizeof(Unit) <= 2);

  public:
    BasicWideString() noexcept = default;
    BasicWideString(const Unit* text, std::size_t length) { Assign(text, length); }
    BasicWideString(const BasicWideString& other) {
        if (other.block_) Assign(other.Units(), other.Length());
    }
    BasicWideString(BasicWideString&& other) noexcept : block_(other.block_) {
        other.block_ = nullptr;
    }
    BasicWideString& operator=(const BasicWideString& other) {
        if (this == &other) return *this;
        if (other.block_) {
            Assign(other.Units(), other.Length());
        } else {
            Clear();
        }
        return *this;
    }
    BasicWideString& operator=(BasicWideString&& other) noexcept {
        Swap(other);
        other.Clear();
        return *this;
    }
    ~BasicWideString() { wide_string_detail::Free(block_, sizeof(Unit)); }

    bool Empty() const noexcept { return block_ == nullptr || Header()->length == 0; }
    uint32_t Length() const noexcept { return block_ ? Header()->length : 0; }
    uint32_t Capacity() const noexcept {
        return block_ ? wide_string_detail::CapacityOf(Header()) : 0;
    }
    // Always a valid zero-terminated buffer; a shared empty one while empty.
    const Unit* Data() const noexcept { return block_ ? Units() : EmptyUnits(); }
    // The heap block (null while empty), for prefetching only.
    const void* Block() const noexcept { return block_; }
    // Writable units; null while empty.
    Unit* MutableData() noexcept { return block_ ? Units() : nullptr; }
    std::basic_string_view<Unit> View() const noexcept { return {Data(), Length()}; }

    // Copies `length` units from `text` (which may lie inside this string).
    void Assign(const Unit* text, std::size_t length) {
        if (length == 0 || text == nullptr) {
            Clear();
            return;
        }
        uint64_t capacity = wide_string_detail::CapacityForAssign(Capacity(), length);
        if (capacity == 0 && block_) {
            __builtin_memmove(Units(), text, length * sizeof(Unit));
            SetLength(static_cast<uint32_t>(length));
            return;
        }
        // A new block first: the source may lie in the old one.
        void* fresh = wide_string_detail::Reallocate(nullptr, sizeof(Unit), capacity);
        static_cast<BlockHeader*>(fresh)->capacity = static_cast<uint32_t>(capacity);
        static_cast<BlockHeader*>(fresh)->length = static_cast<uint32_t>(length);
        Unit* units = UnitsOf(fresh);
        __builtin_memcpy(units, text, length * sizeof(Unit));
        units[length] = Unit(0);
        wide_string_detail::Free(block_, sizeof(Unit));
        block_ = fresh;
    }

    // Copies `length` units from `text` (outside this string) into a block
    // placed in `arena`, or into a block of its own when the arena does not
    // place one that large.
    CORVO_ALWAYS_INLINE void AssignInArena(PageArena& arena, const Unit* text, std::size_t length) {
        const std::size_t bytes = sizeof(BlockHeader) + (length + 1) * sizeof(Unit);
        if (CORVO_UNLIKELY(length == 0 || text == nullptr || block_ != nullptr ||
                           bytes > PageArena::kMaxPlaced)) {
            AssignInArenaSlow(arena, text, length);
            return;
        }
        void* placed = arena.Place(bytes);
        const std::size_t room = ((bytes + 7) & ~std::size_t(7)) - sizeof(BlockHeader);
        auto* h = static_cast<BlockHeader*>(placed);
        h->capacity = static_cast<uint32_t>(room / sizeof(Unit) - 1) | wide_string_detail::kInArena;
        h->length = static_cast<uint32_t>(length);
        Unit* units = UnitsOf(placed);
        CopyShort(units, text, length * sizeof(Unit));
        units[length] = Unit(0);
        block_ = placed;
    }

    void Append(Unit unit) {
        if (block_ && Header()->length < wide_string_detail::CapacityOf(Header())) {
            BlockHeader* h = Header();
            Units()[h->length] = unit;
            Units()[++h->length] = Unit(0);
            return;
        }
        AppendUnitSlow(unit);
    }

    void Append(const Unit* text, std::size_t length) {
        if (length == 0 || text == nullptr) return;
        uint64_t newLength = uint64_t(Length()) + length;
        if (newLength > Capacity()) {
            if (block_ && text >= Units() && text <= Units() + Length()) {
                std::size_t offset = static_cast<std::size_t>(text - Units());
                Reserve(wide_string_detail::CapacityForAppendRun(Length(), newLength));
                text = Units() + offset;
            } else {
                Reserve(wide_string_detail::CapacityForAppendRun(Length(), newLength));
            }
        }
        __builtin_memmove(Units() + Length(), text, length * sizeof(Unit));
        SetLength(static_cast<uint32_t>(newLength));
    }

    // For writers that fill the units themselves: makes room for at least
    // `capacity` units, keeping every unit of the block (also those past
    // Length()). MutableData() is then writable up to Capacity(); SetFilledLength
    // says how many of those units hold text and writes the terminator.
    void ReserveUnits(std::size_t capacity) {
        if (capacity > Capacity()) Reserve(capacity);
    }
    void SetFilledLength(std::size_t length) noexcept {
        if (block_) SetLength(static_cast<uint32_t>(length));
    }

    // New units are zeros; a size of 0 frees the block.
    void Resize(std::size_t length) {
        if (length == 0) {
            Clear();
            return;
        }
        uint32_t old = Length();
        if (length > Capacity()) Reserve(wide_string_detail::CapacityForAppendRun(old, length));
        if (length > old) __builtin_memset(Units() + old, 0, (length - old) * sizeof(Unit));
        SetLength(static_cast<uint32_t>(length));
    }

    // As Clear, with the release of a page block inline (for destructors on
    // hot paths).
    void ClearInline() noexcept {
        if (block_) wide_string_detail::FreeBlock(block_, sizeof(Unit));
        block_ = nullptr;
    }

    // Frees the block as ClearInline does, a page block as part of `batch`.
    void ClearInBatch(PageArena::ReleaseBatch& batch) noexcept {
        if (!block_) return;
        if (Header()->capacity & wide_string_detail::kInArena) {
            batch.Add(block_);
        } else {
            wide_string_detail::Free(block_, sizeof(Unit));
        }
        block_ = nullptr;
    }

    void Clear() noexcept {
        wide_string_detail::Free(block_, sizeof(Unit));
        block_ = nullptr;
    }

    void Swap(BasicWideString& other) noexcept {
        void* t = block_;
        block_ = other.block_;
        other.block_ = t;
    }

    friend bool operator==(const BasicWideString& a, const BasicWideString& b) noexcept {
        return a.View() == b.View();
    }
    bool Equals(const Unit* text, std::size_t length) const noexcept {
        if (length != Length()) return false;
        return EqualShort(Data(), text, length * sizeof(Unit));
    }

  private:
    using BlockHeader = wide_string_detail::BlockHeader;

    BlockHeader* Header() const noexcept { return static_cast<BlockHeader*>(block_); }
    static Unit* UnitsOf(void* block) noexcept {
        return reinterpret_cast<Unit*>(static_cast<char*>(block) + sizeof(BlockHeader));
    }
    Unit* Units() const noexcept { return UnitsOf(block_); }
    static const Unit* EmptyUnits() noexcept {
        static constexpr Unit kEmpty[1] = {Unit(0)};
        return kEmpty;
    }
    void SetLength(uint32_t length) noexcept {
        Header()->length = length;
        Units()[length] = Unit(0);
    }
    // Grows (or first allocates) the block, keeping the contents.
    void Reserve(uint64_t capacity) {
        bool fresh = block_ == nullptr;
        block_ = wide_string_detail::Reallocate(block_, sizeof(Unit), capacity);
        Header()->capacity = static_cast<uint32_t>(capacity);
        if (fresh) SetLength(0);
    }
    // AssignInArena's rarer cases: empty text, a string that already has a
    // block, a text too large to be placed.
    CORVO_NOINLINE void AssignInArenaSlow(PageArena& arena, const Unit* text, std::size_t length) {
        if (length == 0 || text == nullptr) {
            Clear();
            return;
        }
        Clear();
        if (sizeof(BlockHeader) + (length + 1) * sizeof(Unit) > PageArena::kMaxPlaced) {
            Assign(text, length);
            return;
        }
        AssignInArena(arena, text, length);
    }
    void AppendUnitSlow(Unit unit) {
        uint64_t newLength = uint64_t(Length()) + 1;
        Reserve(wide_string_detail::CapacityForAppendUnit(newLength));
        Units()[newLength - 1] = unit;
        SetLength(static_cast<uint32_t>(newLength));
    }

    void* block_ = nullptr;
};

using WideString = BasicWideString<char16_t>;
using ByteString = BasicWideString<unsigned char>;

}  // namespace xparam
