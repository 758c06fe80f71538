#include "platform/type_library.h"

#include <windows.h>

#include <string>

#include "platform/com/com_ptr.h"
#include "platform/com/ole_text.h"
#include "platform/module_file.h"
#include "platform/strict_utf8.h"

namespace corvo::platform {
namespace {

const char* PlatformName(SYSKIND kind) {
    switch (kind) {
        case SYS_WIN16:
            return "win16";
        case SYS_WIN64:
            return "win64";
        case SYS_MAC:
            return "mac";
        default:
            return "win32";
    }
}

}  // namespace

bool SystemHasTypeLibraries() {
    return true;
}

HRESULT LoadModuleTypeLibrary(std::string_view modulePath, TypeLibraryIdentity* identity) {
    std::u16string path;
    if (!StrictUtf8ToUtf16(modulePath, path)) return E_INVALIDARG;
    if (path.size() >= kModuleFileNameCapacity) return HResultFromWin32(ERROR_INSUFFICIENT_BUFFER);
    ComPtr<ITypeLib> library;
    HRESULT hr = ::LoadTypeLibEx(AsOleText(path.c_str()), REGKIND_NONE, library.Out());
    if (FAILED(hr)) {
        // The ".tlb" file beside the module: its path with the extension replaced.
        const size_t dot = path.find_last_of(u'.');
        const size_t separator = path.find_last_of(u"\\/:");
        if (dot != std::u16string::npos && (separator == std::u16string::npos || dot > separator))
            path.resize(dot);
        path += u".tlb";
        hr = ::LoadTypeLibEx(AsOleText(path.c_str()), REGKIND_NONE, library.Out());
        if (FAILED(hr)) return hr;
    }
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr)) return hr;
    identity->libid = attributes->guid;
    identity->major_version = attributes->wMajorVerNum;
    identity->minor_version = attributes->wMinorVerNum;
    identity->lcid = attributes->lcid;
    identity->flags = attributes->wLibFlags;
    identity->platform = PlatformName(attributes->syskind);
    library->ReleaseTLibAttr(attributes);
    return S_OK;
}

}  // namespace corvo::platform
