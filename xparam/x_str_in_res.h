// XStrInRes<T>: a buffer holder owning a library string, taken over by exchange
// so that nothing is copied and the source variable is left empty.
#pragma once

#include "xparam/ref_counter_base.h"
#include "xparam/wide_string.h"
#include "xparam/x_in_res.h"

namespace xparam {

template <typename T>
class XStrInRes : public ref_counter_base<XInRes, XStrInRes<T>> {
  public:
    explicit XStrInRes(BasicWideString<T>& source) noexcept { text_.Swap(source); }

    const BasicWideString<T>& Text() const noexcept { return text_; }

    // Moves `source` into a new holder in `slot` and returns the holder's text.
    static const BasicWideString<T>& Fill(XInResSlot& slot, BasicWideString<T>& source) {
        auto* holder = new XStrInRes(source);
        PutInSlot(slot, holder);
        return holder->text_;
    }

  private:
    BasicWideString<T> text_;
};

}  // namespace xparam
