// A named shared-memory object (the stand-in for named file mappings): a file
// of the user's private exchange-object directory
// (exchange_object_directory.h). The holder owns the descriptor; the holder
// that created the object also removes its name when it goes away, so no
// object outlives the call that made it.
//
// Only objects of the effective user that grant nobody else any access, and
// that are live (their creator still holds them), are ever opened; a stale
// object of a name is replaced by the next creator.
//
// Peers may shrink or remove an object at any time. Reading and writing
// therefore go through the descriptor (pread/pwrite), which reports a short
// object as an error, instead of through a mapping, where touching a page
// beyond the object's end raises SIGBUS. Map() never maps beyond the object's
// current size.
//
// Failures leave errno set: ENAMETOOLONG or EINVAL for a name that has no
// object name (shared_memory_name.h), ENOENT for a missing or stale object (or
// a missing directory), EEXIST when creating a name that a live object (or an
// event) holds, EPERM for an object or directory that is not private to the
// user, EIO for a short read or write, otherwise the system call's own code.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/mapped_view.h"
#include "platform/posix/unique_fd.h"

namespace corvo::platform {

class SharedMemory {
  public:
    enum class Access { kReadOnly, kReadWrite };

    // Creates a new object of `size` zero bytes, read/write, mode 0600, and
    // holds it live; fails when a live object holds the name. The name is
    // removed when the returned holder goes away.
    static std::optional<SharedMemory> Create(std::u16string_view name, uint64_t size);

    // Opens an existing live object. The name stays when the holder goes away.
    static std::optional<SharedMemory> Open(std::u16string_view name, Access access);

    SharedMemory(SharedMemory&& other) noexcept;
    SharedMemory& operator=(SharedMemory&& other) noexcept;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory();

    // The object's current size (fstat).
    std::optional<uint64_t> Size() const;

    // Reads exactly out.size() bytes at `offset`; a short object fails.
    bool ReadAt(uint64_t offset, std::span<uint8_t> out) const;
    // Writes exactly in.size() bytes at `offset`; writing never grows the
    // object: a range beyond its current end fails.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> in) const;

    // Maps the first `length` bytes; fails when the object is shorter.
    std::optional<MappedView> Map(size_t length) const;

    const std::string& objectName() const { return objectName_; }
    int fd() const { return fd_; }

  private:
    SharedMemory(UniqueFd directory, int fd, std::string objectName, bool unlinkOnClose,
                 bool writable) noexcept
        : directory_(std::move(directory)),
          fd_(fd),
          objectName_(std::move(objectName)),
          unlinkOnClose_(unlinkOnClose),
          writable_(writable) {}
    void Close() noexcept;

    UniqueFd directory_;  // the exchange-object directory, for removing the name
    int fd_ = -1;
    std::string objectName_;
    bool unlinkOnClose_ = false;
    bool writable_ = false;
};

}  // namespace corvo::platform
