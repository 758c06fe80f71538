// The module's lock count: one lock per live object and per LockServer(TRUE).
// The module may unload (DllCanUnloadNow answers S_OK) only when it is 0.
#pragma once

#include <mutex>

#include "platform/com/com.h"

namespace corvo::com {

class ModuleLock {
  public:
    // Atomic increment and decrement; callable from any thread.
    static void Lock() noexcept;
    static void Unlock() noexcept;
    static LONG Count() noexcept;
    // The module's critical section: guards the lazy creation of the class
    // objects and of the cached type information.
    static std::mutex& CriticalSection() noexcept;
};

// Holds one module lock for its lifetime.
class ModuleLockHolder {
  public:
    ModuleLockHolder() noexcept { ModuleLock::Lock(); }
    ~ModuleLockHolder() { ModuleLock::Unlock(); }
    ModuleLockHolder(const ModuleLockHolder&) = delete;
    ModuleLockHolder& operator=(const ModuleLockHolder&) = delete;
};

}  // namespace corvo::com
