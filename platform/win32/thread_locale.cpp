#include "platform/thread_locale.h"

#include <windows.h>

namespace corvo::platform {

ScopedSystemThreadLocale::ScopedSystemThreadLocale() : saved_(::GetThreadLocale()) {
    ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
}

ScopedSystemThreadLocale::~ScopedSystemThreadLocale() {
    ::SetThreadLocale(saved_);
}

}  // namespace corvo::platform
