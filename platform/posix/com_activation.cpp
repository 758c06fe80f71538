#include "platform/com_activation.h"

namespace corvo::platform {

HRESULT CreateRegisteredInProcess(std::u16string_view, REFIID, void** object) {
    if (object) *object = nullptr;
    return REGDB_E_CLASSNOTREG;
}

}  // namespace corvo::platform
