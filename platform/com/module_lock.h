// The module's lock count: one lock per live object and per LockServer(TRUE).
// The module may unload (DllCanUnloadNow answers S_OK) only when it is 0.
#pragma once

#include "platform/com/com.h"

namespace corvo::com {

class ModuleLock {
  public:
    // Atomic increment and decrement; callable from any thread.
    static void Lock() noexcept;
    static void Unlock() noexcept;
    static LONG Count() noexcept;
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
