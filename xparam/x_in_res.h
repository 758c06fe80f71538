// XInRes: a buffer holder. A producer that had to create a buffer for its caller
// (a converted or formatted text, decoded bytes, written XML) wraps it in a
// holder and puts the holder in the caller's slot; the buffer lives until the
// caller releases or reuses the slot. The pointer to the buffer travels apart.
#pragma once

#include "xparam/x_ref.h"

namespace xparam {

class XInRes {
  public:
    virtual ~XInRes() = default;
    virtual void AddRef() = 0;
    virtual void Release() = 0;
};

// The caller's holder slot: one counted reference, null at first.
using XInResSlot = XRef<XInRes>;

// Puts a freshly created holder (count 1) in `slot`: the slot takes a reference,
// releases what it held before (freeing that earlier buffer unless someone else
// keeps it), and the creation reference is dropped, so the slot holds the only one.
inline void PutInSlot(XInResSlot& slot, XInRes* created) {
    slot = XInResSlot(created);
    created->Release();
}

}  // namespace xparam
