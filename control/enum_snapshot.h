// The enumerators of the connection-point interfaces (IEnumConnections,
// IEnumConnectionPoints): a snapshot of the items taken when the enumerator
// is created, walked by position. Clones share the snapshot and copy the
// position. Every item handed out carries its own added reference.
#pragma once

#include <algorithm>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "platform/com/allocation_fault_injection.h"
#include "platform/com/com.h"
#include "platform/com/com_object.h"

namespace corvo {

// Policy: `Stored` is what the snapshot keeps (owning its references) and
// `static void CopyOut(const Stored&, Item*)` hands out one item with an added
// reference.
template <class IEnum, class Item, const IID& kIid, class Policy>
class CEnumSnapshot : public com::ComObjectRoot, public IEnum {
  public:
    using Stored = typename Policy::Stored;
    using Snapshot = std::shared_ptr<const std::vector<Stored>>;

    static std::span<const com::InterfaceEntry> InterfaceTable() {
        static constexpr com::InterfaceEntry kTable[] = {
            com::Entry<CEnumSnapshot, IEnum>(kIid),
        };
        return kTable;
    }

    // A new enumerator over copies of `items`, at the start, with one
    // reference for the caller.
    static HRESULT CreateFrom(const std::vector<Stored>& items, IEnum** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        try {
            return Create(std::make_shared<const std::vector<Stored>>(items), 0, out);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
    }

    // Hands out up to `count` items; S_OK when all were there, else S_FALSE.
    // Without `fetched` only one item may be asked for.
    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* items, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!items || (count != 1 && !fetched)) return E_POINTER;
        const size_t available = items_->size() - position_;
        const ULONG n = static_cast<ULONG>(std::min<size_t>(count, available));
        for (ULONG i = 0; i < n; ++i) Policy::CopyOut((*items_)[position_ + i], &items[i]);
        position_ += n;
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const size_t available = items_->size() - position_;
        position_ += std::min<size_t>(count, available);
        return count <= available ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnum** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return Create(items_, position_, out);
    }

  protected:
    CEnumSnapshot() = default;
    ~CEnumSnapshot() = default;

  private:
    static HRESULT Create(Snapshot items, size_t position, IEnum** out) {
        auto* e =
            com::AllocationAllowed() ? new (std::nothrow) com::ComObject<CEnumSnapshot>() : nullptr;
        if (!e) return E_OUTOFMEMORY;
        e->items_ = std::move(items);
        e->position_ = position;
        e->AddRef();
        *out = e;
        return S_OK;
    }

    Snapshot items_;
    size_t position_ = 0;
};

}  // namespace corvo
