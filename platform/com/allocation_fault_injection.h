// Test hook for the allocations of COM objects and of the containers inside
// them (the BSTR allocator has its own hook, bstr_fault_injection.h): lets
// tests make them fail so that out-of-memory paths can be checked.
//
// FaultInjectingAllocator<T> is a std::allocator that throws std::bad_alloc
// when the hook says so; ComObject::CreateInstance asks the hook before it
// allocates a new object.
#pragma once

#include <cstddef>
#include <memory>
#include <new>

namespace corvo::testing {

// After `successes` more successful allocations, every hooked allocation fails
// until ClearAllocationFailure() is called.
void FailAllocationsAfter(int successes);
void ClearAllocationFailure();

}  // namespace corvo::testing

namespace corvo::com {

// Consumes one allocation of the test budget; false when it must fail.
bool AllocationAllowed() noexcept;

template <class T>
struct FaultInjectingAllocator {
    using value_type = T;

    FaultInjectingAllocator() = default;
    template <class U>
    FaultInjectingAllocator(const FaultInjectingAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (!AllocationAllowed()) throw std::bad_alloc();
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* p, std::size_t n) noexcept { std::allocator<T>().deallocate(p, n); }

    template <class U>
    bool operator==(const FaultInjectingAllocator<U>&) const noexcept {
        return true;
    }
};

}  // namespace corvo::com
