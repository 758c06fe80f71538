#include "platform/posix/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <utility>

#include "platform/posix/exchange_object_directory.h"
#include "platform/posix/shared_memory_name.h"

namespace corvo::platform {
namespace {

// A new file of the directory, mode 0600, `size` zero bytes, with the
// creator's lock taken, not yet under its name. When `unnamed`, it is made with
// O_TMPFILE and has no name at all until NameFile, so no reader or sweeper ever
// sees it unlocked; otherwise, or where the file system lacks O_TMPFILE, it is
// made under a temporary name (`temp`), which a sweeper may remove before the
// lock is taken (the creation is then tried again).
UniqueFd NewLockedFile(int directory, uint64_t size, bool unnamed, std::string* temp) {
    temp->clear();
    UniqueFd fd;
    if (unnamed) fd.Reset(openat(directory, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (!unnamed || (!fd && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))) {
        static std::atomic<unsigned> counter{0};
        char name[64];
        std::snprintf(name, sizeof name, ".new-%ld-%u", long(getpid()), counter++);
        fd.Reset(openat(directory, name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd) *temp = name;
    }
    if (!fd) return fd;
    if (fchmod(fd.get(), 0600) != 0 || ftruncate(fd.get(), off_t(size)) != 0 ||
        !TakeBlockCreatorLock(fd.get())) {
        const int saved = errno;
        if (!temp->empty()) unlinkat(directory, temp->c_str(), 0);
        fd.Reset();
        errno = saved;
    }
    return fd;
}

// Gives the new file `fd` the name `file`; EEXIST when the name is taken.
bool NameFile(int fd, int directory, const std::string& temp, const std::string& file) {
    if (!temp.empty()) {
        const bool named = linkat(directory, temp.c_str(), directory, file.c_str(), 0) == 0;
        const int saved = errno;
        unlinkat(directory, temp.c_str(), 0);
        errno = saved;
        return named;
    }
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, path, directory, file.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

// Removes `file` when it is a block that nobody holds (left by a creator that
// was killed); true when it did.
bool RemoveIfStale(int directory, const std::string& file) {
    UniqueFd fd(openat(directory, file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || IsBlockHeld(fd.get()))
        return false;
    return unlinkat(directory, file.c_str(), 0) == 0;
}

}  // namespace

std::optional<SharedMemory> SharedMemory::Create(std::u16string_view name, uint64_t size) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    const std::string file = objectName->substr(1);
    auto directory = OpenExchangeObjectDirectory();
    if (!directory) return std::nullopt;
    bool unnamed = true;
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::string temp;
        UniqueFd fd = NewLockedFile(directory->get(), size, unnamed, &temp);
        if (!fd) return std::nullopt;
        if (NameFile(fd.get(), directory->get(), temp, file)) {
            const int raw = fd.get();
            fd.Release();
            return SharedMemory(std::move(*directory), raw, std::move(*objectName), true, true);
        }
        if (errno == ENOENT) {
            // An unnamed file is named through /proc; without /proc the
            // temporary name is used instead. A temporary name that was swept
            // before it was linked is made again.
            unnamed = false;
            continue;
        }
        if (errno != EEXIST) return std::nullopt;
        if (!RemoveIfStale(directory->get(), file)) {
            errno = EEXIST;
            return std::nullopt;
        }
    }
    errno = EEXIST;
    return std::nullopt;
}

std::optional<SharedMemory> SharedMemory::Open(std::u16string_view name, Access access) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    auto directory = OpenExchangeObjectDirectory();
    if (!directory) return std::nullopt;
    const bool writable = access == Access::kReadWrite;
    // O_NONBLOCK: an event (a FIFO) of that name must not block the open.
    UniqueFd fd(openat(directory->get(), objectName->c_str() + 1,
                       (writable ? O_RDWR : O_RDONLY) | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        if (errno == ELOOP) errno = EPERM;
        return std::nullopt;
    }
    struct stat st;
    if (fstat(fd.get(), &st) != 0) return std::nullopt;
    if (!S_ISREG(st.st_mode) || !IsPrivateObject(st)) {
        errno = EPERM;
        return std::nullopt;
    }
    if (!IsBlockHeld(fd.get())) {
        errno = ENOENT;  // its creator is gone
        return std::nullopt;
    }
    const int raw = fd.get();
    fd.Release();
    return SharedMemory(std::move(*directory), raw, std::move(*objectName), false, writable);
}

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : directory_(std::move(other.directory_)),
      fd_(std::exchange(other.fd_, -1)),
      objectName_(std::move(other.objectName_)),
      unlinkOnClose_(std::exchange(other.unlinkOnClose_, false)),
      writable_(other.writable_) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        Close();
        directory_ = std::move(other.directory_);
        fd_ = std::exchange(other.fd_, -1);
        objectName_ = std::move(other.objectName_);
        unlinkOnClose_ = std::exchange(other.unlinkOnClose_, false);
        writable_ = other.writable_;
    }
    return *this;
}

SharedMemory::~SharedMemory() {
    Close();
}

void SharedMemory::Close() noexcept {
    if (fd_ < 0) return;
    const int saved = errno;
    if (unlinkOnClose_) {
        // Only our own object: a later creator may have replaced the name.
        struct stat mine, named;
        const char* file = objectName_.c_str() + 1;
        if (fstat(fd_, &mine) == 0 &&
            fstatat(directory_.get(), file, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
            unlinkat(directory_.get(), file, 0);
    }
    close(fd_);
    directory_.Reset();
    errno = saved;
    fd_ = -1;
}

std::optional<uint64_t> SharedMemory::Size() const {
    struct stat st;
    if (fstat(fd_, &st) != 0) return std::nullopt;
    return uint64_t(st.st_size);
}

bool SharedMemory::ReadAt(uint64_t offset, std::span<uint8_t> out) const {
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = pread(fd_, out.data() + done, out.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;  // the object ends before the range does
            return false;
        }
        done += size_t(n);
    }
    return true;
}

bool SharedMemory::WriteAt(uint64_t offset, std::span<const uint8_t> in) const {
    // pwrite would grow a shrunken object; a peer's truncation must fail the
    // write instead of being silently undone.
    const auto size = Size();
    if (!size) return false;
    if (offset > *size || in.size() > *size - offset) {
        errno = EIO;
        return false;
    }
    size_t done = 0;
    while (done < in.size()) {
        const ssize_t n = pwrite(fd_, in.data() + done, in.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += size_t(n);
    }
    return true;
}

std::optional<MappedView> SharedMemory::Map(size_t length) const {
    const auto size = Size();
    if (!size) return std::nullopt;
    if (length == 0 || length > *size) {
        errno = EINVAL;
        return std::nullopt;
    }
    const int protection = writable_ ? PROT_READ | PROT_WRITE : PROT_READ;
    void* address = mmap(nullptr, length, protection, MAP_SHARED, fd_, 0);
    if (address == MAP_FAILED) return std::nullopt;
    return MappedView(address, length);
}

}  // namespace corvo::platform
