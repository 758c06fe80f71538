#include "xparam/page_arena.h"

#include <cstdlib>
#include <new>

namespace xparam {

namespace {

// Carried by the count of a page the arena still places into, so that it
// cannot reach zero before the arena has added the blocks it placed.
constexpr int64_t kBias = int64_t(1) << 40;

}  // namespace

struct PageArena::Page {
    std::atomic<int64_t> live;
    std::size_t bytes;
};

std::atomic<std::size_t> PageArena::s_pageBytes{0};

void PageArena::NextPage(std::size_t blockBytes) {
    // Blocks start 8-aligned behind the page header, as the heap's blocks are.
    static_assert(sizeof(Page) % 8 == 0);
    Leave();
#if defined(CORVO_SANITIZE)
    // A page of its own for every block, so that AddressSanitizer sees each
    // block's lifetime and bounds.
    const std::size_t bytes = sizeof(Page) + kLink + blockBytes;
#else
    (void)blockBytes;
    const std::size_t bytes = kPageSize;
#endif
    void* memory = std::malloc(bytes);
    if (memory == nullptr) throw std::bad_alloc();
    page_ = new (memory) Page{{kBias}, bytes};
    s_pageBytes.fetch_add(bytes, std::memory_order_relaxed);
    cursor_ = static_cast<char*>(memory) + sizeof(Page);
    end_ = static_cast<char*>(memory) + bytes;
    placed_ = 0;
}

void PageArena::Leave() noexcept {
    if (page_ == nullptr) return;
    Drop(page_, kBias - placed_);
    page_ = nullptr;
    cursor_ = end_ = nullptr;
    placed_ = 0;
}

void PageArena::Drop(Page* page, int64_t n) noexcept {
    if (page->live.fetch_sub(n, std::memory_order_acq_rel) == n) {
        s_pageBytes.fetch_sub(page->bytes, std::memory_order_relaxed);
        page->~Page();
        std::free(page);
    }
}

void PageArena::ReleaseToPage(Page* page) noexcept {
    if (ReleaseBatch* batch = s_batch) {
        batch->Switch(page);
        return;
    }
    Drop(page, 1);
}

PageArena::ReleaseBatch::ReleaseBatch() noexcept : outer_(s_batch) {
    s_batch = this;
}

PageArena::ReleaseBatch::~ReleaseBatch() {
    Flush();
    s_batch = outer_;
}

void PageArena::ReleaseBatch::Switch(Page* page) noexcept {
    Flush();
    page_ = page;
    count_ = 1;
}

void PageArena::ReleaseBatch::Flush() noexcept {
    if (page_ != nullptr) Drop(page_, count_);
    page_ = nullptr;
    count_ = 0;
}

}  // namespace xparam
