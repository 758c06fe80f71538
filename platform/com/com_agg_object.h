// Aggregation: a COM object that lives inside an outer object.
//
// The outer object holds the inner object's non-delegating IUnknown (the one
// that CreateInstance hands out); it counts the inner object's own references
// and answers QueryInterface from the inner object's interface table. Every
// other interface of the inner object delegates QueryInterface, AddRef and
// Release to the outer object (the controlling unknown), so the aggregate has
// one identity and one reference count as far as its clients can tell.
//
//   HRESULT hr = CreateAggregatable<CThing>(outer, riid, ppv);
//
// creates a standalone ComObject<CThing> without an outer object and a
// ComAggObject<CThing> with one; the outer object must then ask for
// IID_IUnknown (anything else is CLASS_E_NOAGGREGATION, as COM requires: the
// outer object could not control the inner object's lifetime otherwise).
#pragma once

#include <new>

#include "platform/com/com_object.h"

namespace corvo::com {

template <class T>
class ComAggObject final : public T {
  public:
    explicit ComAggObject(IUnknown* outer) : inner_(this), outer_(outer) {}

    // The delegating IUnknown of every interface of T.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return outer_->QueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return outer_->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return outer_->Release(); }

    // Creates the inner object of `outer` and hands out its non-delegating
    // IUnknown. The outer object is not referenced (it owns the inner one).
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!outer || !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
        auto* object = AllocationAllowed() ? new (std::nothrow) ComAggObject(outer) : nullptr;
        if (!object) return E_OUTOFMEMORY;
        object->inner_.AddRef();  // keeps the object alive through FinalConstruct and the query
        return FinishCreation<T>(object, &object->inner_, riid, ppv);
    }

  private:
    // The non-delegating IUnknown: the inner object's own reference count
    // and its interface table. IUnknown itself is answered with this object,
    // so the outer object can tell the inner object's identity apart.
    class InnerUnknown final : public IUnknown {
      public:
        explicit InnerUnknown(ComAggObject* owner) : owner_(owner) {}
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
            if (!ppv) return E_POINTER;
            if (IsEqualIID(riid, IID_IUnknown)) {
                AddRef();
                *ppv = static_cast<IUnknown*>(this);
                return S_OK;
            }
            // The interface handed out delegates, so its reference is the outer's.
            return QueryInterfaceFromTable(static_cast<T*>(owner_), T::InterfaceTable(), riid, ppv);
        }
        ULONG STDMETHODCALLTYPE AddRef() override { return ++owner_->ref_count_; }
        ULONG STDMETHODCALLTYPE Release() override {
            const ULONG count = --owner_->ref_count_;
            if (count == 0) delete owner_;
            return count;
        }

      private:
        ComAggObject* owner_;
    };

    ~ComAggObject() = default;

    InnerUnknown inner_;
    IUnknown* outer_;  // the controlling unknown; not referenced
};

// Creates a T standalone (no outer object) or as the inner object of `outer`.
template <class T>
HRESULT CreateAggregatable(IUnknown* outer, REFIID riid, void** ppv) {
    return outer ? ComAggObject<T>::CreateInstance(outer, riid, ppv)
                 : ComObject<T>::CreateInstance(nullptr, riid, ppv);
}

}  // namespace corvo::com
