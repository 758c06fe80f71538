#include "platform/mapped_view.h"

#include <sys/mman.h>

#include <utility>

namespace corvo::platform {

MappedView::MappedView(MappedView&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)), length_(std::exchange(other.length_, 0)) {}

MappedView& MappedView::operator=(MappedView&& other) noexcept {
    if (this != &other) {
        Reset();
        address_ = std::exchange(other.address_, nullptr);
        length_ = std::exchange(other.length_, 0);
    }
    return *this;
}

MappedView::~MappedView() {
    Reset();
}

void MappedView::Reset() noexcept {
    if (address_ != nullptr) munmap(address_, length_);
    address_ = nullptr;
    length_ = 0;
}

}  // namespace corvo::platform
