#include "xparam/small_block_pool.h"

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "platform/compiler.h"

namespace xparam {

#if defined(CORVO_SANITIZE)

void* SmallBlockPool::Allocate(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void SmallBlockPool::Free(void* block, std::size_t) noexcept {
    std::free(block);
}

bool SmallBlockPool::SameBlock(std::size_t a, std::size_t b) noexcept {
    return a == b;
}

SmallBlockPool::Statistics SmallBlockPool::Stats() noexcept {
    return {};
}

#else

namespace {

constexpr std::size_t kGranule = 16;
constexpr std::size_t kClasses = SmallBlockPool::kMaxPooledSize / kGranule;
constexpr std::size_t kSlabSize = 64 * 1024;
constexpr std::size_t kSlabAlignment = 64;  // a cache line

// A free block. The first block of a list handed to the depot also links the
// next such list, so lists move in and out of the depot whole, without a walk.
struct FreeCell {
    FreeCell* next;
    FreeCell* nextList;  // in the depot only
};
static_assert(sizeof(FreeCell) <= kGranule);

std::size_t ClassOf(std::size_t size) noexcept {
    return size == 0 ? 0 : (size - 1) / kGranule;
}

// One thread's blocks: per class a free list and the unused tail of the slab
// it carves from (a slab serves one class, so blocks of a power-of-two size
// never straddle more cache lines than they must). Trivial, so reaching it
// costs no initialisation check.
struct ThreadCache {
    FreeCell* free[kClasses];
    char* slab[kClasses];
    char* slabEnd[kClasses];
    std::ptrdiff_t blockBytes;  // taken minus released on this thread
    bool registered;
    bool ended;  // the thread is ending: releases go to the depot
};

constinit thread_local ThreadCache t_cache{};

// Free blocks left by ended threads, as a stack of lists per class. The lock
// is a spin lock: it is taken only on a refill or at a thread's end, and it
// needs no destruction at exit.
struct Depot {
    std::atomic_flag busy = ATOMIC_FLAG_INIT;
    FreeCell* lists[kClasses] = {};

    void Lock() noexcept {
        while (busy.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    void Unlock() noexcept { busy.clear(std::memory_order_release); }
};

constinit Depot g_depot;
constinit std::atomic<std::size_t> g_slabBytes{0};

void GiveToDepot(std::size_t c, FreeCell* list) noexcept {
    if (list == nullptr) return;
    g_depot.Lock();
    list->nextList = g_depot.lists[c];
    g_depot.lists[c] = list;
    g_depot.Unlock();
}

FreeCell* TakeFromDepot(std::size_t c) noexcept {
    g_depot.Lock();
    FreeCell* list = g_depot.lists[c];
    if (list) g_depot.lists[c] = list->nextList;
    g_depot.Unlock();
    return list;
}

// Hands the ending thread's free blocks to the depot.
struct CacheFlusher {
    ~CacheFlusher() {
        ThreadCache& cache = t_cache;
        cache.ended = true;
        for (std::size_t c = 0; c < kClasses; ++c) {
            GiveToDepot(c, cache.free[c]);
            cache.free[c] = nullptr;
        }
        // The rest of each slab stays unused; at most one slab a class.
        for (std::size_t c = 0; c < kClasses; ++c) cache.slab[c] = cache.slabEnd[c] = nullptr;
    }
};

// Arranges for the thread's blocks to reach the depot when the thread ends.
void Register(ThreadCache& cache) {
    if (cache.registered || cache.ended) return;
    cache.registered = true;
    thread_local CacheFlusher flusher;
    (void)flusher;
}

void* Refill(std::size_t c) {
    ThreadCache& cache = t_cache;
    Register(cache);
    // Blocks left by ended threads first.
    if (FreeCell* taken = TakeFromDepot(c)) {
        if (cache.ended) {
            GiveToDepot(c, taken->next);
        } else {
            cache.free[c] = taken->next;
        }
        return taken;
    }
    const std::size_t size = (c + 1) * kGranule;
    if (cache.ended) {
        // An ending thread gets single blocks; they join the depot when freed.
        void* block = CorvoAlignedAlloc(kGranule, size);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    if (static_cast<std::size_t>(cache.slabEnd[c] - cache.slab[c]) < size) {
        char* slab = static_cast<char*>(CorvoAlignedAlloc(kSlabAlignment, kSlabSize));
        if (slab == nullptr) throw std::bad_alloc();
        g_slabBytes.fetch_add(kSlabSize, std::memory_order_relaxed);
        cache.slab[c] = slab;
        cache.slabEnd[c] = slab + kSlabSize;
    }
    void* block = cache.slab[c];
    cache.slab[c] += size;
    return block;
}

}  // namespace

void* SmallBlockPool::Allocate(std::size_t size) {
    if (size > kMaxPooledSize) {
        void* block = std::malloc(size);
        if (block == nullptr) throw std::bad_alloc();
        return block;
    }
    const std::size_t c = ClassOf(size);
    ThreadCache& cache = t_cache;
    cache.blockBytes += static_cast<std::ptrdiff_t>((c + 1) * kGranule);
    if (FreeCell* cell = cache.free[c]) {
        cache.free[c] = cell->next;
        // The next request of this class reads that block's link: start the
        // load now, while the caller fills this one.
        CORVO_PREFETCH_WRITE(cell->next);
        return cell;
    }
    return Refill(c);
}

void SmallBlockPool::Free(void* block, std::size_t size) noexcept {
    if (block == nullptr) return;
    if (size > kMaxPooledSize) {
        std::free(block);
        return;
    }
    const std::size_t c = ClassOf(size);
    auto* cell = static_cast<FreeCell*>(block);
    ThreadCache& cache = t_cache;
    cache.blockBytes -= static_cast<std::ptrdiff_t>((c + 1) * kGranule);
    if (!cache.registered) Register(cache);
    if (cache.ended) {
        cell->next = nullptr;
        GiveToDepot(c, cell);
        return;
    }
    cell->next = cache.free[c];
    cache.free[c] = cell;
}

SmallBlockPool::Statistics SmallBlockPool::Stats() noexcept {
    return {g_slabBytes.load(std::memory_order_relaxed), t_cache.blockBytes};
}

bool SmallBlockPool::SameBlock(std::size_t a, std::size_t b) noexcept {
    if (a > kMaxPooledSize || b > kMaxPooledSize) return a == b;
    return ClassOf(a) == ClassOf(b);
}

#endif

}  // namespace xparam
