// A mapped view of a shared-memory object (MapViewOfFileEx on Windows, mmap
// elsewhere), unmapped when the holder goes away.
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvo::platform {

class MappedView {
  public:
    MappedView() = default;
    // Takes ownership of a mapping (mmap on POSIX, MapViewOfFileEx on Windows).
    MappedView(void* address, size_t length) noexcept : address_(address), length_(length) {}
    MappedView(MappedView&& other) noexcept;
    MappedView& operator=(MappedView&& other) noexcept;
    MappedView(const MappedView&) = delete;
    MappedView& operator=(const MappedView&) = delete;
    ~MappedView();

    explicit operator bool() const { return address_ != nullptr; }
    uint8_t* data() const { return static_cast<uint8_t*>(address_); }
    size_t size() const { return length_; }

    void Reset() noexcept;

  private:
    void* address_ = nullptr;
    size_t length_ = 0;
};

}  // namespace corvo::platform
