// AllocationBudget: the countdown behind the allocation-failure test hooks.
#pragma once

#include <atomic>

namespace corvo::testing {

class AllocationBudget {
  public:
    // After `successes` more successful allocations, every allocation fails
    // until Clear() is called.
    void FailAfter(int successes) { allowance_.store(successes < 0 ? 0 : successes); }
    void Clear() { allowance_.store(-1); }

    // Consumes one allocation of the budget; false when it must fail.
    bool Take() noexcept {
        int allowance = allowance_.load(std::memory_order_relaxed);
        while (allowance > 0)
            if (allowance_.compare_exchange_weak(allowance, allowance - 1)) return true;
        return allowance != 0;
    }

  private:
    // -1: no failure injected; otherwise the number of allocations still allowed.
    std::atomic<int> allowance_{-1};
};

}  // namespace corvo::testing
