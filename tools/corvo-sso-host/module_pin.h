// The registered module, kept loaded while the host runs. Each request still
// finds the module through the registry and creates its own controls; the pin
// only spares every request loading the module's file again (and running its
// load-time initialisation), as a browser keeps a control's module loaded
// between pages.
#pragma once

namespace corvo::host {

// Loads the module the current user's registration names, once per process;
// after a success later calls do nothing. A failure (not registered yet) is
// not kept: the next call tries again. Thread-safe.
void PinRegisteredModule();

}  // namespace corvo::host
