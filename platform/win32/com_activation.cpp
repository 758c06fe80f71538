#include "platform/com_activation.h"

#include <string>

#include "platform/com/ole_text.h"

namespace corvo::platform {

HRESULT CreateRegisteredInProcess(std::u16string_view progId, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const std::u16string name(progId);
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(AsOleText(name.c_str()), &clsid))) return REGDB_E_CLASSNOTREG;
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, riid, object);
}

}  // namespace corvo::platform
