// A BSTR the work cannot go on without: running out of memory while making
// it throws std::bad_alloc instead of handing a null string (which automation
// reads as the empty string) on. Used inside the control's methods, whose
// boundary turns the exception into E_FAIL.
#pragma once

#include <new>
#include <string_view>

#include "platform/com/bstr_ptr.h"

namespace corvo::control {

inline BstrPtr RequiredBstr(std::u16string_view text) {
    BstrPtr s = BstrPtr::FromText(text);
    if (!s) throw std::bad_alloc();
    return s;
}

}  // namespace corvo::control
