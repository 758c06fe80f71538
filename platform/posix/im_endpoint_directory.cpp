#include "platform/posix/im_endpoint_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/exchange_object_directory.h"

namespace corvo::platform {
namespace {

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value ? value : nullptr;
}

}  // namespace

std::string ImEndpointDirectoryPath() {
    if (const char* dir = NonEmptyEnv("CORVO_IM_DIR")) return dir;
    if (const char* runtime = NonEmptyEnv("XDG_RUNTIME_DIR"))
        return std::string(runtime) + "/corvo-im";
    return "/tmp/corvo-im-" + std::to_string(geteuid());
}

bool IsPrivateEntry(const struct stat& st) {
    return st.st_uid == geteuid() && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

std::optional<UniqueFd> OpenPrivateDirectory(int parentFd, const char* path) {
    // O_NOFOLLOW refuses a symbolic link in the last component; O_DIRECTORY
    // anything that is not a directory.
    UniqueFd fd(openat(parentFd, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        if (errno == ELOOP || errno == ENOTDIR) errno = EPERM;
        return std::nullopt;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0) return std::nullopt;
    if (!S_ISDIR(st.st_mode) || !IsPrivateEntry(st)) {
        errno = EPERM;
        return std::nullopt;
    }
    return fd;
}

std::optional<ImEndpointDirectory> ImEndpointDirectory::Open(Mode mode) {
    return Open(ImEndpointDirectoryPath(), mode);
}

std::optional<ImEndpointDirectory> ImEndpointDirectory::Open(const std::string& path, Mode mode) {
    if (path.empty()) {
        errno = ENOENT;
        return std::nullopt;
    }
    if (mode == Mode::kCreateIfMissing && mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    auto fd = OpenPrivateDirectory(AT_FDCWD, path.c_str());
    if (!fd) return std::nullopt;
    // A publisher also makes the directory of blocks and events.
    if (mode == Mode::kCreateIfMissing &&
        mkdirat(fd->get(), kExchangeObjectDirectoryName, 0700) != 0 && errno != EEXIST)
        return std::nullopt;
    return ImEndpointDirectory(std::move(*fd), path);
}

}  // namespace corvo::platform
