// AllocationCounter: counts the heap allocations (malloc-level calls) and the
// heap bytes held, between Start and Stop, by replacing the C allocation
// functions of the program with ones that count and then call the C
// library's own. Everything that allocates (operator new, the XParam pool's
// slabs, pugixml, expat) passes through them. Counting is off outside a
// Start/Stop window, so timed loops pay one predictable branch per call.
//
// glibc only (the __libc_ entry points); include from one translation unit
// of a benchmark program, since it defines the allocation functions.
#pragma once

#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace bench {

struct AllocationFigures {
    uint64_t allocations = 0;  // malloc, calloc, realloc and aligned calls
    int64_t heldBytes = 0;     // usable bytes allocated minus freed
};

class AllocationCounter {
  public:
    using Figures = AllocationFigures;

    static void Start() {
        figures_ = {};
        on_.store(true, std::memory_order_relaxed);
    }
    static Figures Stop() {
        on_.store(false, std::memory_order_relaxed);
        return figures_;
    }

    // Called by the replacements below.
    static void Allocated(void* block) {
        if (!on_.load(std::memory_order_relaxed) || block == nullptr) return;
        ++figures_.allocations;
        figures_.heldBytes += static_cast<int64_t>(malloc_usable_size(block));
    }
    static void Freeing(void* block) {
        if (!on_.load(std::memory_order_relaxed) || block == nullptr) return;
        figures_.heldBytes -= static_cast<int64_t>(malloc_usable_size(block));
    }

  private:
    static inline std::atomic<bool> on_{false};
    static inline Figures figures_{};
};

}  // namespace bench

extern "C" {

void* malloc(size_t size) {
    void* block = __libc_malloc(size);
    bench::AllocationCounter::Allocated(block);
    return block;
}

void* calloc(size_t count, size_t size) {
    void* block = __libc_calloc(count, size);
    bench::AllocationCounter::Allocated(block);
    return block;
}

void* realloc(void* old, size_t size) {
    bench::AllocationCounter::Freeing(old);
    void* block = __libc_realloc(old, size);
    bench::AllocationCounter::Allocated(block);
    return block;
}

void* memalign(size_t alignment, size_t size) {
    void* block = __libc_memalign(alignment, size);
    bench::AllocationCounter::Allocated(block);
    return block;
}

void* aligned_alloc(size_t alignment, size_t size) {
    return memalign(alignment, size);
}

int posix_memalign(void** out, size_t alignment, size_t size) {
    void* block = memalign(alignment, size);
    if (block == nullptr) return 12;  // ENOMEM
    *out = block;
    return 0;
}

void free(void* block) {
    bench::AllocationCounter::Freeing(block);
    __libc_free(block);
}

}  // extern "C"
