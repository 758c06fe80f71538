// Reference counting shared by every XParam interface: the count starts at 1
// (the creator's reference) and AddRef/Release are atomic, so references to one
// object may be taken and dropped on several threads.
#pragma once

#include <atomic>
#include <cstdint>

namespace xparam {

template <class Interface, class Impl>
class ref_counter_base : public Interface {
  public:
    void AddRef() override { count_.fetch_add(1, std::memory_order_relaxed); }

    void Release() override {
        if (count_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            static_cast<Impl*>(this)->FinalRelease();
        }
    }

    // The current count, for diagnostics and tests only.
    int32_t RefCount() const noexcept { return count_.load(std::memory_order_relaxed); }

  protected:
    ref_counter_base() = default;
    ref_counter_base(const ref_counter_base&) = delete;
    ref_counter_base& operator=(const ref_counter_base&) = delete;

    // Called once the last reference is gone. An implementation may hide this
    // to destroy in its own way (the tree node does, to avoid recursion).
    void FinalRelease() { delete this; }

    // Bulk adjustments for implementations that hold several references of
    // their own on an object (a node's links from its siblings and list).
    void AddRefs(int32_t n) noexcept { count_.fetch_add(n, std::memory_order_relaxed); }
    // Sets the count of an object that no other thread can reach yet (just
    // created, its pointer not yet published), sparing the atomic updates.
    void SetUnsharedCount(int32_t n) noexcept { count_.store(n, std::memory_order_relaxed); }
    // True when this took the count to zero; the caller then destroys.
    bool ReleaseRefs(int32_t n) noexcept {
        return count_.fetch_sub(n, std::memory_order_acq_rel) == n;
    }
    // As ReleaseRefs, for a caller that owns `n` references and is the only
    // one that can reach the object through them (a parent releasing its
    // children): when the count is exactly `n`, nobody else holds a reference
    // or can take one, so the object dies without an atomic update. The
    // acquire load orders the destruction after the last release elsewhere.
    bool ReleaseLastRefs(int32_t n) noexcept {
        if (count_.load(std::memory_order_acquire) == n) return true;
        return ReleaseRefs(n);
    }

  private:
    std::atomic<int32_t> count_{1};
};

}  // namespace xparam
