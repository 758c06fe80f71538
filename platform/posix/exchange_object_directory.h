// The private directory that holds the exchange objects of one user: the
// blocks (regular files) and the completion events (FIFOs). It is the
// subdirectory "objects" of the user's endpoint directory
// (im_endpoint_directory.h), so nobody but that user can create, open or
// replace anything in it; every object is checked once more when it is opened
// (owner, mode, kind).
//
// An object counts as live only while its creator holds it open:
//  - a block while some process holds an fcntl read lock on it (an open file
//    description lock, whole file); the creator takes it before the object
//    gets its name and keeps it until it removes the name, so a block whose
//    creator was killed is never read as live;
//  - an event while some process has it open for reading (the waiter).
// Objects that are no longer live are removed by RemoveStaleExchangeObjects
// (a client calls it when it starts) or replaced by the next creator of the
// same name.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/im_endpoint_directory.h"
#include "platform/posix/unique_fd.h"

namespace corvo::platform {

inline constexpr char kExchangeObjectDirectoryName[] = "objects";

// The directory's path as the environment chooses it.
std::string ExchangeObjectDirectoryPath();

// Opens the existing directory of the environment's endpoint directory and
// checks both (ImEndpointDirectory::Open with kCreateIfMissing makes it).
// errno on failure: ENOENT when either is missing, EPERM when either is not a
// private directory of the effective user (or a link).
std::optional<UniqueFd> OpenExchangeObjectDirectory();

// The file name of an object within the directory: the object name without
// its leading "/" (shared_memory_name.h); nothing for a name without one.
std::optional<std::string> ExchangeObjectFileName(std::u16string_view name);

// True when `st` belongs to the effective user and grants group and others
// nothing at all.
bool IsPrivateObject(const struct stat& st);

// Takes the creator's lock on a block (never blocks; false when another
// process holds a conflicting lock).
bool TakeBlockCreatorLock(int fd);
// True when some other open file description holds a lock on the block.
bool IsBlockHeld(int fd);

// Removes every object of the directory that is no longer live: blocks that
// nobody holds a lock on, and events that nobody reads and that are older
// than a few seconds (younger ones may be in the middle of being opened).
void RemoveStaleExchangeObjects(int directoryFd);

}  // namespace corvo::platform
