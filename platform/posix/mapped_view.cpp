#include "platform/mapped_view.h"

#include <sys/mman.h>

namespace corvo::platform {

void MappedView::Reset() noexcept {
    if (address_ != nullptr) munmap(address_, length_);
    address_ = nullptr;
    length_ = 0;
}

}  // namespace corvo::platform
