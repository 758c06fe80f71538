#include "platform/binary_stdio.h"

namespace corvo::platform {

bool SetBinaryStandardStreams() {
    return true;  // POSIX streams carry bytes unchanged
}

}  // namespace corvo::platform
