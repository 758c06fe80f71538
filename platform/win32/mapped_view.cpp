#include "platform/mapped_view.h"

#include <windows.h>

namespace corvo::platform {

void MappedView::Reset() noexcept {
    if (address_ != nullptr) ::UnmapViewOfFile(address_);
    address_ = nullptr;
    length_ = 0;
}

}  // namespace corvo::platform
