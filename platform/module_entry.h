// The module's load and unload hooks. The system's entry point of the module
// (platform/<system>/module_entry.cpp, linked into the module only) calls
// them; the module defines them.
//
//   Windows  DllMain: DLL_PROCESS_ATTACH calls OnModuleAttach, and a false
//            result makes DllMain return FALSE, so the DLL is not loaded;
//            DLL_PROCESS_DETACH by FreeLibrary calls OnModuleDetach (not at
//            process exit, when other DLLs may be gone already: the cached
//            type information, which belongs to oleaut32, stays then). The
//            module state's static destructor, which the C runtime runs at
//            every DLL_PROCESS_DETACH, process exit included, releases the
//            class objects once more: nothing after FreeLibrary, and at exit
//            only the module's own class factories, which call no other DLL.
//   POSIX    a load-time constructor calls OnModuleAttach; the loader cannot
//            be told to refuse the load, so a module whose attach failed stays
//            loaded but inert. The module's state releases itself at unload.
#pragma once

namespace corvo::platform {

// Defined by the module: builds its state; false when that fails.
bool OnModuleAttach() noexcept;
// Defined by the module: releases what OnModuleAttach made.
void OnModuleDetach() noexcept;

}  // namespace corvo::platform
