// Test hook: makes BSTR allocation fail, so out-of-memory paths can be tested.
// Only the non-Windows layer honours it.
#pragma once

namespace corvo::testing {

// After `successes` more successful allocations, every BSTR allocation fails
// until ClearBstrAllocationFailure() is called.
void FailBstrAllocationAfter(int successes);
void ClearBstrAllocationFailure();

}  // namespace corvo::testing
