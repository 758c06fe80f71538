// The IUnknown boilerplate, written once, for single-threaded COM objects that
// hold one module lock while they live. ComObject<T> is the standalone object
// (it refuses an outer object); a class that may also live inside an outer
// object creates through CreateAggregatable (platform/com/com_agg_object.h).
//
//   class CThing : public corvo::com::ComObjectRoot, public IThing, ... {
//   public:
//       static std::span<const corvo::com::InterfaceEntry> InterfaceTable();
//       ...
//   };
//   using CThingObject = corvo::com::ComObject<CThing>;
//   HRESULT hr = CThingObject::CreateInstance(outer, riid, ppv);
//
// The interface table lists the interfaces QueryInterface answers; its first
// entry also answers IUnknown (the object's identity).
#pragma once

#include <new>
#include <span>
#include <utility>

#include "platform/com/allocation_fault_injection.h"
#include "platform/com/com.h"
#include "platform/com/module_lock.h"

namespace corvo::com {

struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*get)(void* object);  // object: the implementation class, as void*
};

// The entry answering `iid` with the object's `Interface` base.
template <class Impl, class Interface>
constexpr InterfaceEntry Entry(const IID& iid) {
    return {&iid, [](void* object) -> IUnknown* {
                return static_cast<Interface*>(static_cast<Impl*>(object));
            }};
}

// QueryInterface over an interface table: E_POINTER for a null ppv, otherwise
// *ppv is set (with an added reference) or nulled with E_NOINTERFACE.
HRESULT QueryInterfaceFromTable(void* object, std::span<const InterfaceEntry> table, REFIID riid,
                                void** ppv);

// Base of the implementation classes: the plain (not interlocked) reference
// count and the module lock.
class ComObjectRoot {
  public:
    ComObjectRoot(const ComObjectRoot&) = delete;
    ComObjectRoot& operator=(const ComObjectRoot&) = delete;

    // Called once after construction; a failure destroys the new object.
    HRESULT FinalConstruct() { return S_OK; }

  protected:
    ComObjectRoot() = default;
    ~ComObjectRoot() = default;

    ULONG ref_count_ = 0;

  private:
    ModuleLockHolder module_lock_;
};

// Runs the last steps of a creation on a new object holding one reference
// (`self`, released here on every path): FinalConstruct, then the query for
// `riid` into `ppv`. When either fails the object is destroyed.
template <class T>
HRESULT FinishCreation(T* object, IUnknown* self, REFIID riid, void** ppv) {
    HRESULT hr = object->FinalConstruct();
    if (SUCCEEDED(hr)) hr = self->QueryInterface(riid, ppv);
    self->Release();
    return hr;
}

// The creatable object: T's IUnknown methods, its creation and destruction.
template <class T>
class ComObject final : public T {
  public:
    ComObject() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        return QueryInterfaceFromTable(static_cast<T*>(this), T::InterfaceTable(), riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++this->ref_count_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG count = --this->ref_count_;
        if (count == 0) delete this;
        return count;
    }

    // Creates a new object and hands out its `riid` interface with one
    // reference. An outer object is refused (CLASS_E_NOAGGREGATION); when the
    // query fails the new object is destroyed and the query's error returned.
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* object = AllocationAllowed() ? new (std::nothrow) ComObject() : nullptr;
        if (!object) return E_OUTOFMEMORY;
        // The identity holds a reference through FinalConstruct and the query.
        IUnknown* self = T::InterfaceTable().front().get(static_cast<T*>(object));
        self->AddRef();
        return FinishCreation<T>(object, self, riid, ppv);
    }

  private:
    ~ComObject() = default;
};

}  // namespace corvo::com
