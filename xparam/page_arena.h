// PageArena: the reader's memory for the nodes and strings of the documents it
// builds. Blocks are placed one after another in 32 KiB pages taken from the
// heap (a block too large for a page is not placed: the caller falls back to
// its usual allocation), so building a tree costs a pointer bump per block
// instead of an allocation.
//
// Every placed block is preceded by a pointer to its page, and each page counts
// its live blocks. Releasing a block (PageArena::Release) counts it down; the
// page goes back to the heap when its last block is released and the arena has
// moved on from it. A node or string that is still held therefore keeps exactly
// its own page alive, whatever happens to the rest of its tree.
//
// Counting is cheap on both sides. The arena counts the blocks it places in a
// plain field and hands them to the page's atomic count once, when it leaves
// the page; until then the page's count carries a large bias, so releases that
// arrive in between (from any thread) can never take it to zero. Releasing a
// whole tree goes through a ReleaseBatch, which adds up consecutive releases to
// the same page and applies them in one atomic step.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace xparam {

class PageArena {
    struct Page;
    // The room for the page link before each block: 8 bytes also where a
    // pointer has 4, so that blocks stay 8-aligned on 32-bit systems.
    static constexpr std::size_t kLink = sizeof(Page*) > 8 ? sizeof(Page*) : 8;

  public:
    static constexpr std::size_t kPageSize = 32 * 1024;
    // Blocks larger than this are not placed (they would waste a page's tail).
    static constexpr std::size_t kMaxPlaced = 2048;

    PageArena() noexcept = default;
    PageArena(const PageArena&) = delete;
    PageArena& operator=(const PageArena&) = delete;
    ~PageArena() { Leave(); }

    // `bytes` (rounded up to 8) of 8-aligned memory in the current page, or
    // null when `bytes` exceeds kMaxPlaced. Throws std::bad_alloc.
    void* Place(std::size_t bytes) {
        bytes = (bytes + 7) & ~std::size_t(7);
        if (bytes > kMaxPlaced) return nullptr;
#if defined(CORVO_SANITIZE)
        NextPage(bytes);
#else
        if (static_cast<std::size_t>(end_ - cursor_) < bytes + kLink) NextPage(bytes);
#endif
        *reinterpret_cast<Page**>(cursor_) = page_;
        void* block = cursor_ + kLink;
        cursor_ += bytes + kLink;
        ++placed_;
        return block;
    }

    // Releases one block that Place returned (on any thread).
    static void Release(void* block) noexcept;

    // Bytes of the pages currently allocated on behalf of all arenas, for
    // memory figures.
    static std::size_t PageBytes() noexcept {
        return s_pageBytes.load(std::memory_order_relaxed);
    }

    // While one exists on a thread, releases on that thread to the same page
    // are added up and applied together (at a page change and at its end).
    class ReleaseBatch {
      public:
        ReleaseBatch() noexcept;
        ~ReleaseBatch();
        ReleaseBatch(const ReleaseBatch&) = delete;
        ReleaseBatch& operator=(const ReleaseBatch&) = delete;

        // Releases one placed block as part of this batch, wherever the
        // thread's innermost batch is (a caller walking a tree passes its own).
        void Add(void* block) noexcept {
            Page* page = PageOf(block);
            if (page == page_) {
                ++count_;
                return;
            }
            Switch(page);
        }

      private:
        friend class PageArena;
        void Flush() noexcept;
        void Switch(Page* page) noexcept;
        ReleaseBatch* outer_;
        Page* page_ = nullptr;
        int64_t count_ = 0;
    };

  private:
    static Page* PageOf(void* block) noexcept {
        return *reinterpret_cast<Page**>(static_cast<char*>(block) - kLink);
    }
    // Release when the thread's batch (if any) collects for another page.
    static void ReleaseToPage(Page* page) noexcept;

    // Leaves the current page for a new one with room for `blockBytes`.
    void NextPage(std::size_t blockBytes);
    // Hands the blocks placed in the current page to its count and drops the
    // arena's hold on it.
    void Leave() noexcept;
    static void Drop(Page* page, int64_t n) noexcept;

    Page* page_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    int64_t placed_ = 0;

    static std::atomic<std::size_t> s_pageBytes;
    // The innermost ReleaseBatch of the calling thread, or null.
    static constinit inline thread_local ReleaseBatch* s_batch = nullptr;
};

inline void PageArena::Release(void* block) noexcept {
    Page* page = PageOf(block);
    ReleaseBatch* batch = s_batch;
    if (batch != nullptr && batch->page_ == page) {
        ++batch->count_;
        return;
    }
    ReleaseToPage(page);
}

}  // namespace xparam
