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

    // Hands `array` to a new holder in `slot` (see PutInSlot) and returns it.
    static const T* Put(XInResSlot& slot, std::unique_ptr<T[]> array) {
        auto* holder = new ArrayInRes(array.get());
        array.release();
        PutInSlot(slot, holder);
        return holder->array_;
    }

  private:
    T* array_;
};

}  // namespace xparam
