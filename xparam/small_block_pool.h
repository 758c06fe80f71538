// SmallBlockPool: allocation of the library's small fixed-size blocks (tree
// nodes, child lists, short strings) from 64 KiB slabs instead of one malloc
// call each.
//
// Blocks are grouped in size classes of 16 bytes up to kMaxPooledSize; larger
// requests go to malloc. Each thread keeps its own free list per class, so the
// common allocation and release take no lock. A block may be released on any
// thread: it simply joins that thread's free list. When a thread ends, its free
// blocks move to a shared depot (behind a lock) where other threads find them
// before they carve a new slab. Slabs are kept for reuse for the life of the
// process; they are never handed back to the system.
//
// In the sanitizer build every request goes to malloc and free, so that
// AddressSanitizer sees each block's lifetime exactly.
#pragma once

#include <cstddef>

namespace xparam {

class SmallBlockPool {
  public:
    static constexpr std::size_t kMaxPooledSize = 128;

    // A block of at least `size` bytes: 16-byte aligned up to kMaxPooledSize,
    // larger ones from malloc, aligned as it aligns (16 bytes on 64-bit
    // systems, 8 on 32-bit Windows; strings grow them with realloc). Throws
    // std::bad_alloc.
    static void* Allocate(std::size_t size);
    // Releases a block that Allocate returned for the same `size`; null is ignored.
    static void Free(void* block, std::size_t size) noexcept;
    // True when `a` and `b` bytes are served by the same block size, so a
    // block of one size can hold the other.
    static bool SameBlock(std::size_t a, std::size_t b) noexcept;

    // What the pool holds, for memory figures (malloc statistics do not see
    // blocks inside slabs). Both are 0 in the sanitizer build, where every
    // block is a malloc block.
    struct Statistics {
        // Bytes of all slabs carved so far, on every thread (never returned).
        std::size_t slabBytes = 0;
        // Bytes of pooled blocks (at their class size) taken on the calling
        // thread minus those released on it: a block released on another
        // thread counts there.
        std::ptrdiff_t threadBlockBytes = 0;
    };
    static Statistics Stats() noexcept;
};

}  // namespace xparam
