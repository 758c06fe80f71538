// The Win32 error of a failed call, reported the way the portable callers
// read failures of the platform services: through errno.
#pragma once

#include <windows.h>

#include <cerrno>

namespace corvo::platform {

inline int ErrnoFromWin32Error(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_PARAMETER:
            return EINVAL;
        case ERROR_FILENAME_EXCED_RANGE:
            return ENAMETOOLONG;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY:
        case ERROR_COMMITMENT_LIMIT:
            return ENOMEM;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_INVALID_HANDLE:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        default:
            return EIO;
    }
}

// Sets errno from the calling thread's last Win32 error.
inline void SetErrnoFromLastError() {
    errno = ErrnoFromWin32Error(::GetLastError());
}

}  // namespace corvo::platform
