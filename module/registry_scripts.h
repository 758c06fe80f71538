// The module's registry scripts (resources of type "REGISTRY"), by id.
#pragma once

namespace corvo::module {

inline constexpr int kAppIdScriptId = 101;         // the AppID keys
inline constexpr int kSSOLoginCtrlScriptId = 102;  // the control's ProgIDs, CLSID and TypeLib keys

// The text of script `id`, or nullptr for an unknown id.
const char* RegistryScript(int id);

}  // namespace corvo::module
