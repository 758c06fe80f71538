// CClassFactory: the class object of one class table row. Its creation
// function makes the instances; LockServer raises and lowers the module lock.
//
// The module keeps one reference to each class object it has created (until
// it unloads); every further reference, held by a host, holds one module lock,
// so a module whose class object is still in use does not unload. The count is
// atomic: class objects may be asked for on any thread.
#pragma once

#include <atomic>

#include "platform/com/com.h"

namespace corvo::module {

class CClassFactory final : public IClassFactory {
  public:
    using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID riid, void** ppv);

    // A new class object holding the module's reference; nullptr when out of memory.
    static CClassFactory* Create(CreateFunction create);

    CClassFactory(const CClassFactory&) = delete;
    CClassFactory& operator=(const CClassFactory&) = delete;

    // IUnknown: IUnknown and IClassFactory.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IClassFactory
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override;

  private:
    explicit CClassFactory(CreateFunction create) : create_(create) {}
    ~CClassFactory() = default;

    CreateFunction create_;
    std::atomic<ULONG> ref_count_{1};  // 1: the module's own reference
};

}  // namespace corvo::module
