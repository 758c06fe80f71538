#include "platform/posix/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/shared_memory_name.h"

namespace corvo::platform {

std::optional<SharedMemory> SharedMemory::Create(std::u16string_view name, uint64_t size) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    const int fd = shm_open(objectName->c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return std::nullopt;
    SharedMemory memory(fd, std::move(*objectName), true, true);
    struct stat st;
    if (fstat(fd, &st) != 0) return std::nullopt;
    // A new object has size 0; an existing one keeps its size (Map() refuses
    // one that is too short).
    if (st.st_size == 0 && size != 0 && ftruncate(fd, off_t(size)) != 0) return std::nullopt;
    return memory;
}

std::optional<SharedMemory> SharedMemory::Open(std::u16string_view name, Access access) {
    auto objectName = SharedMemoryObjectName(name);
    if (!objectName) return std::nullopt;
    const bool writable = access == Access::kReadWrite;
    const int fd = shm_open(objectName->c_str(), (writable ? O_RDWR : O_RDONLY) | O_CLOEXEC, 0);
    if (fd < 0) return std::nullopt;
    return SharedMemory(fd, std::move(*objectName), false, writable);
}

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      objectName_(std::move(other.objectName_)),
      unlinkOnClose_(std::exchange(other.unlinkOnClose_, false)),
      writable_(other.writable_) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        Close();
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
    if (unlinkOnClose_) shm_unlink(objectName_.c_str());
    close(fd_);
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
