#include "platform/binary_stdio.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace corvo::platform {

bool SetBinaryStandardStreams() {
    const bool in = ::_setmode(::_fileno(stdin), _O_BINARY) != -1;
    const bool out = ::_setmode(::_fileno(stdout), _O_BINARY) != -1;
    // Messages too end with LF alone, as on the other systems.
    const bool err = ::_setmode(::_fileno(stderr), _O_BINARY) != -1;
    return in && out && err;
}

}  // namespace corvo::platform
