// The calling thread's COM apartment for a program that hosts COM objects:
// entered as a single-threaded apartment (CoInitializeEx with
// COINIT_APARTMENTTHREADED) while the holder lives, as a browser's page
// thread is. POSIX has no apartments: nothing to enter, S_OK.
#pragma once

#include "platform/com/com.h"

namespace corvo::platform {

class ComApartment {
  public:
    ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment();

    // The result of entering the apartment (S_FALSE: the thread was in it already).
    HRESULT result() const { return result_; }

  private:
    HRESULT result_;
};

}  // namespace corvo::platform
