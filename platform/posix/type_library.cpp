#include "platform/type_library.h"

namespace corvo::platform {

bool SystemHasTypeLibraries() {
    return false;
}

HRESULT LoadModuleTypeLibrary(std::string_view, TypeLibraryIdentity*) {
    return E_NOTIMPL;
}

}  // namespace corvo::platform
