#include "platform/com/com_object.h"

namespace corvo::com {

HRESULT QueryInterfaceFromTable(void* object, std::span<const InterfaceEntry> table, REFIID riid,
                                void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (const InterfaceEntry& entry : table) {
        if (IsEqualIID(riid, *entry.iid) ||
            (&entry == table.data() && IsEqualIID(riid, IID_IUnknown))) {
            IUnknown* itf = entry.get(object);
            itf->AddRef();
            *ppv = itf;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

}  // namespace corvo::com
