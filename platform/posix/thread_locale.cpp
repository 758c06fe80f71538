#include "platform/thread_locale.h"

namespace corvo::platform {

ScopedSystemThreadLocale::ScopedSystemThreadLocale() = default;
ScopedSystemThreadLocale::~ScopedSystemThreadLocale() = default;

}  // namespace corvo::platform
