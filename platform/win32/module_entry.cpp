// DllMain of the module (linked into the DLL only, see platform/CMakeLists.txt).
#include "platform/module_entry.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            ::DisableThreadLibraryCalls(instance);
            return corvo::platform::OnModuleAttach() ? TRUE : FALSE;
        case DLL_PROCESS_DETACH:
            if (reserved == nullptr) corvo::platform::OnModuleDetach();
            return TRUE;
        default:
            return TRUE;
    }
}
