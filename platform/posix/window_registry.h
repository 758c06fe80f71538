// Registrations of IM window endpoints in the endpoint directory: publishing,
// listing in creation order, reading and removal.
//
// A window's id is a sequence number handed out under an exclusive lock on
// the directory's "sequence" file, one larger than every id handed out or
// present before, so ids follow creation order. Window `id` is the file
// "<id as 20 decimal digits>.window"; its socket is "<same digits>.sock". A
// registration is written to ".<digits>.tmp" and renamed into place, so
// readers see a whole file or none.
//
// A registration counts only while its file passes IsPrivateEntry (owner,
// no group/other write), is a regular file (never followed through a link)
// and parses; a window whose process is gone (kill(pid, 0) fails with ESRCH)
// no longer exists.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/posix/im_endpoint_directory.h"
#include "platform/posix/window_registration.h"

namespace corvo::platform {

std::string WindowRegistrationFileName(uint64_t id);
std::string WindowSocketFileName(uint64_t id);

// The ids of all registration files present, ascending (creation order).
std::vector<uint64_t> ListWindowIds(const ImEndpointDirectory& directory);

// The registration of window `id` (its id filled in), or nothing when the
// file is missing, not private, not a regular file or malformed.
std::optional<WindowRegistration> ReadWindowRegistration(const ImEndpointDirectory& directory,
                                                         uint64_t id);

// False only when the process is known to be gone.
bool IsProcessAlive(pid_t pid);

// The next id (see above); nothing when the sequence file cannot be used.
std::optional<uint64_t> NextWindowId(const ImEndpointDirectory& directory);

// Publishes `registration` under registration.id, atomically.
bool WriteWindowRegistration(const ImEndpointDirectory& directory,
                             const WindowRegistration& registration);

// Removes the registration file and the socket of window `id` (either may be
// missing already).
void RemoveWindow(const ImEndpointDirectory& directory, uint64_t id);

// Removes the registrations (and sockets) of windows whose process is gone;
// a publisher calls this so that a crashed client leaves nothing behind for
// long.
void RemoveDeadWindows(const ImEndpointDirectory& directory);

}  // namespace corvo::platform
