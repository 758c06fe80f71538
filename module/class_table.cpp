#include "module/class_table.h"

#include "control/sso_login_ctrl.h"
#include "corvo_sso_login.h"
#include "data/sso_data.h"
#include "data/sso_data_array.h"
#include "module/registry_scripts.h"

namespace corvo::module {

std::span<const ClassTableRow> ClassTable() {
    // The data classes refuse an outer object; the control may be aggregated.
    static constexpr ClassTableRow kRows[] = {
        {&CLSID_SSOLoginCtrl, &CSSOLoginCtrl::CreateInstance, kSSOLoginCtrlScriptId},
        {&CLSID_SSOData, &data::CSSOData::CreateInstance, 0},
        {&CLSID_SSODataArray, &data::CSSODataArray::CreateInstance, 0},
    };
    return kRows;
}

const ClassTableRow* FindClass(REFCLSID clsid) {
    for (const ClassTableRow& row : ClassTable())
        if (IsEqualCLSID(*row.clsid, clsid)) return &row;
    return nullptr;
}

}  // namespace corvo::module
