#include "platform/com/allocation_fault_injection.h"

#include "platform/com/allocation_budget.h"

namespace corvo {
namespace {
testing::AllocationBudget g_budget;
}  // namespace

namespace testing {
void FailAllocationsAfter(int successes) {
    g_budget.FailAfter(successes);
}
void ClearAllocationFailure() {
    g_budget.Clear();
}
}  // namespace testing

namespace com {
bool AllocationAllowed() noexcept {
    return g_budget.Take();
}
}  // namespace com

}  // namespace corvo
