#include "module/class_factory.h"

#include <new>

#include "platform/com/allocation_fault_injection.h"
#include "platform/com/module_lock.h"

namespace corvo::module {

CClassFactory* CClassFactory::Create(CreateFunction create) {
    return com::AllocationAllowed() ? new (std::nothrow) CClassFactory(create) : nullptr;
}

HRESULT CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        AddRef();
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CClassFactory::AddRef() {
    const ULONG count = ref_count_.fetch_add(1, std::memory_order_relaxed) + 1;
    if (count == 2) com::ModuleLock::Lock();  // the first reference beyond the module's
    return count;
}

ULONG CClassFactory::Release() {
    const ULONG count = ref_count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (count == 1) com::ModuleLock::Unlock();  // only the module's reference is left
    if (count == 0) delete this;
    return count;
}

HRESULT CClassFactory::CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    try {
        return create_(pUnkOuter, riid, ppv);
    } catch (...) {
        return E_FAIL;  // no exception leaves the module
    }
}

HRESULT CClassFactory::LockServer(BOOL fLock) {
    if (fLock) {
        com::ModuleLock::Lock();
    } else {
        com::ModuleLock::Unlock();
    }
    return S_OK;
}

}  // namespace corvo::module
