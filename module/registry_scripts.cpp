#include "module/registry_scripts.h"

// Defined in the source generated from scripts/*.rgs.
namespace corvo::module::script_text {
extern const char appid[];
extern const char sso_login_ctrl[];
}  // namespace corvo::module::script_text

namespace corvo::module {

const char* RegistryScript(int id) {
    switch (id) {
        case kAppIdScriptId:
            return script_text::appid;
        case kSSOLoginCtrlScriptId:
            return script_text::sso_login_ctrl;
        default:
            return nullptr;
    }
}

}  // namespace corvo::module
