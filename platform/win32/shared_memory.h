// A named file mapping on the paging file, the kernel object the exchange
// block is, and the views of it. The holder owns the mapping handle and one
// view of the whole object; a mapping goes away with its last handle, so no
// name needs removing.
//
// Windows never shrinks a mapping under its views, so reading and writing go
// through the holder's view; Size() is the size of that view, which the
// system rounds up to whole pages.
//
// Failures leave errno set (ENOENT for no such object, EINVAL for a name the
// system refuses, EEXIST when another kind of object holds the name, ENOMEM,
// otherwise EIO), as on the other systems.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/mapped_view.h"
#include "platform/win32/unique_handle.h"

namespace corvo::platform {

class SharedMemory {
  public:
    enum class Access { kReadOnly, kReadWrite };

    // Creates the mapping (CreateFileMappingW on the paging file, read/write).
    // A live mapping of that name fails the creation with EEXIST (the system
    // call would open it), as creation fails on POSIX.
    static std::optional<SharedMemory> Create(std::u16string_view name, uint64_t size);
    // Opens an existing mapping (OpenFileMappingW).
    static std::optional<SharedMemory> Open(std::u16string_view name, Access access);

    SharedMemory(SharedMemory&& other) noexcept = default;
    SharedMemory& operator=(SharedMemory&& other) noexcept = default;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;
    ~SharedMemory() = default;

    std::optional<uint64_t> Size() const;
    // Reads exactly out.size() bytes at `offset`; a range beyond the end fails.
    bool ReadAt(uint64_t offset, std::span<uint8_t> out) const;
    // Writes exactly in.size() bytes at `offset`; never grows the object.
    bool WriteAt(uint64_t offset, std::span<const uint8_t> in) const;
    // A view of the first `length` bytes (MapViewOfFileEx); fails with EINVAL
    // when the object is shorter.
    std::optional<MappedView> Map(size_t length) const;

    HANDLE handle() const { return mapping_.get(); }

  private:
    SharedMemory(UniqueHandle mapping, MappedView whole, bool writable) noexcept
        : mapping_(std::move(mapping)), whole_(std::move(whole)), writable_(writable) {}
    static std::optional<SharedMemory> Adopt(HANDLE mapping, bool writable);

    UniqueHandle mapping_;
    MappedView whole_;
    bool writable_ = false;
};

}  // namespace corvo::platform
