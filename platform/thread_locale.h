// ScopedSystemThreadLocale: sets the calling thread's locale to the system
// default (SetThreadLocale(LOCALE_SYSTEM_DEFAULT)) for its lifetime and
// restores the saved locale when it goes, on every path. Registration runs
// under it, so that the type library is registered the same way whoever
// calls. POSIX threads have no locale of that kind: there it does nothing.
#pragma once

#include <cstdint>

namespace corvo::platform {

class ScopedSystemThreadLocale {
  public:
    ScopedSystemThreadLocale();
    ~ScopedSystemThreadLocale();
    ScopedSystemThreadLocale(const ScopedSystemThreadLocale&) = delete;
    ScopedSystemThreadLocale& operator=(const ScopedSystemThreadLocale&) = delete;

  private:
    [[maybe_unused]] uint32_t saved_ = 0;  // the locale to restore (Windows only)
};

}  // namespace corvo::platform
