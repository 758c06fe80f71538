// The parts of MappedView that are the same on every system; unmapping is the
// system's (posix/mapped_view.cpp, win32/mapped_view.cpp).
#include "platform/mapped_view.h"

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

}  // namespace corvo::platform
