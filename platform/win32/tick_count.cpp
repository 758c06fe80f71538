#include "platform/tick_count.h"

#include <windows.h>

namespace corvo::platform {

uint32_t GetTickCount() {
    return ::GetTickCount();
}

}  // namespace corvo::platform
