// ArrayInRes<T>: a buffer holder owning one array allocated as an array
// (ArrayInRes<char> for multi-byte text, <unsigned char> for bytes, <char16_t>
// for UTF-16 text).
#pragma once

#include <cstddef>
#include <memory>

#include "xparam/ref_counter_base.h"
#include "xparam/x_in_res.h"

namespace xparam {

template <typename T>
class ArrayInRes : public ref_counter_base<XInRes, ArrayInRes<T>> {
  public:
    // Takes ownership of `array`, which must come from new T[].
    explicit ArrayInRes(T* array) noexcept : array_(array) {}
    ~ArrayInRes() override { delete[] array_; }

    const T* Data() const noexcept { return array_; }

    // Allocates a value-initialised array of `count` units plus a terminating
    // zero, puts its holder in `slot` (see PutInSlot) and returns the array for
    // the producer to fill.
    static T* Fill(XInResSlot& slot, std::size_t count) {
        std::unique_ptr<T[]> array(new T[count + 1]());
        auto* holder = new ArrayInRes(array.get());
        PutInSlot(slot, holder);
        return array.release();
    }

  private:
    T* array_;
};

}  // namespace xparam
