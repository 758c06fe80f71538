// The directory in which the IM client publishes its window endpoints: one
// per user, private to that user.
//
// Location: $CORVO_IM_DIR when set and not empty, else
// $XDG_RUNTIME_DIR/corvo-im when that variable is set and not empty, else
// /tmp/corvo-im-<uid>. The last component is created with mode 0700 when it is
// missing; its parent must exist. Creating also makes the subdirectory of
// blocks and events (exchange_object_directory.h), mode 0700.
//
// The directory is used only when it is a real directory (not a symbolic
// link), owned by the effective user and writable by nobody else; anything
// else fails with errno EPERM, so a request can never reach an endpoint that
// another user planted. Everything inside is then reached relative to the
// open directory descriptor with O_NOFOLLOW, and checked by IsPrivateEntry.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "platform/posix/unique_fd.h"

namespace corvo::platform {

// The directory's path as the environment chooses it (see above).
std::string ImEndpointDirectoryPath();

// True when `st` belongs to the effective user and grants no write access
// to group or others: the test every directory, registration and socket must
// pass before it is used.
bool IsPrivateEntry(const struct stat& st);

// Opens `path` (relative to `parentFd`, or AT_FDCWD) when it is a directory,
// not a symbolic link, that passes IsPrivateEntry; EPERM otherwise.
std::optional<UniqueFd> OpenPrivateDirectory(int parentFd, const char* path);

class ImEndpointDirectory {
  public:
    enum class Mode { kOpenExisting, kCreateIfMissing };

    // Opens (or creates, see Mode) and checks the directory. errno on
    // failure: ENOENT when missing and not created, EPERM when it fails the
    // ownership/permission check or is not a directory, otherwise the system
    // call's own code.
    static std::optional<ImEndpointDirectory> Open(Mode mode);
    static std::optional<ImEndpointDirectory> Open(const std::string& path, Mode mode);

    int fd() const { return fd_.get(); }
    const std::string& path() const { return path_; }

  private:
    ImEndpointDirectory(UniqueFd fd, std::string path)
        : fd_(std::move(fd)), path_(std::move(path)) {}

    UniqueFd fd_;
    std::string path_;
};

}  // namespace corvo::platform
