// The table of the module's creatable classes, in registration order:
// SSOLoginCtrl, SSOData, SSODataArray.
#pragma once

#include <span>

#include "platform/com/com.h"

namespace corvo::module {

struct ClassTableRow {
    const CLSID* clsid;
    // The class's creation function (it also decides about aggregation).
    HRESULT (*create)(IUnknown* outer, REFIID riid, void** ppv);
    // The registry script run on (un)registration; 0 when the class writes
    // nothing (its registry update simply succeeds).
    int registry_script;
};

std::span<const ClassTableRow> ClassTable();

// The row of `clsid`, or nullptr.
const ClassTableRow* FindClass(REFCLSID clsid);

}  // namespace corvo::module
