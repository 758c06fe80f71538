#include "platform/posix/exchange_object_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/posix/shared_memory_name.h"

namespace corvo::platform {
namespace {

// An event that nobody has open for reading is still being set up by its
// creator for the few microseconds between mkfifo and open; anything older
// without a reader is left over.
constexpr time_t kEventSetupSeconds = 10;

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    return lock;
}

bool IsStale(int directoryFd, const char* name) {
    struct stat st;
    if (fstatat(directoryFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
    if (S_ISREG(st.st_mode)) {
        UniqueFd fd(openat(directoryFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        return fd && !IsBlockHeld(fd.get());
    }
    if (S_ISFIFO(st.st_mode)) {
        timespec now;
        if (clock_gettime(CLOCK_REALTIME, &now) != 0 ||
            now.tv_sec - st.st_mtim.tv_sec < kEventSetupSeconds)
            return false;
        UniqueFd fd(openat(directoryFd, name, O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC));
        return !fd && errno == ENXIO;  // no reader
    }
    return false;
}

}  // namespace

std::string ExchangeObjectDirectoryPath() {
    return ImEndpointDirectoryPath() + "/" + kExchangeObjectDirectoryName;
}

std::optional<UniqueFd> OpenExchangeObjectDirectory() {
    auto endpoint = ImEndpointDirectory::Open(ImEndpointDirectory::Mode::kOpenExisting);
    if (!endpoint) return std::nullopt;
    return OpenPrivateDirectory(endpoint->fd(), kExchangeObjectDirectoryName);
}

std::optional<std::string> ExchangeObjectFileName(std::u16string_view name) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    return objectName->substr(1);
}

bool IsPrivateObject(const struct stat& st) {
    return st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

bool TakeBlockCreatorLock(int fd) {
    struct flock lock = WholeFile(F_RDLCK);
    while (fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        if (errno != EINTR) return false;
    }
    return true;
}

bool IsBlockHeld(int fd) {
    // A write lock conflicts with every lock another description holds.
    struct flock lock = WholeFile(F_WRLCK);
    if (fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

void RemoveStaleExchangeObjects(int directoryFd) {
    const int saved = errno;
    const int dup = fcntl(directoryFd, F_DUPFD_CLOEXEC, 0);
    if (dup < 0) return;
    std::unique_ptr<DIR, DirCloser> dir(fdopendir(dup));
    if (!dir) {
        close(dup);
        return;
    }
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (IsStale(directoryFd, entry->d_name)) unlinkat(directoryFd, entry->d_name, 0);
    }
    errno = saved;
}

}  // namespace corvo::platform
