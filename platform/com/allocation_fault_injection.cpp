#include "platform/com/allocation_fault_injection.h"

#include <atomic>

namespace corvo {
namespace {
// -1: no failure injected; otherwise the number of allocations still allowed.
std::atomic<int> g_allowance{-1};
}  // namespace

namespace testing {
void FailAllocationsAfter(int successes) {
    g_allowance.store(successes < 0 ? 0 : successes);
}
void ClearAllocationFailure() {
    g_allowance.store(-1);
}
}  // namespace testing

namespace com {
bool AllocationAllowed() noexcept {
    int allowance = g_allowance.load(std::memory_order_relaxed);
    while (allowance > 0)
        if (g_allowance.compare_exchange_weak(allowance, allowance - 1)) return true;
    return allowance != 0;
}
}  // namespace com

}  // namespace corvo
