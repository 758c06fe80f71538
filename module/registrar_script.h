// RegistrarScript: a parsed registration script, and its parser.
//
// Grammar (keywords and root names are case-insensitive; tokens are separated
// by white space, so "{98EF2EC8-...}" is a key name while a lone "{" opens a
// block):
//
//   script    := { root '{' { key } '}' }
//   root      := HKCR | HKCU | HKLM | HKEY_CLASSES_ROOT | HKEY_CURRENT_USER
//                | HKEY_LOCAL_MACHINE
//   key       := [ NoRemove | ForceRemove | Delete ] name [ '=' s string ]
//                [ '{' { key | value } '}' ]
//   value     := val name '=' s string
//   name      := bare-word | string
//   string    := "'" characters "'"      ('' stands for one quote)
//
// Replacement variables "%NAME%" may appear in names and strings; "%%" is a
// literal percent sign. A variable's value is inserted as literal text after
// the script is split into tokens, so a value holding quotes, braces or
// blanks cannot change the script's structure. An unknown variable is an
// error. Key names hold no backslash (nest keys instead). Only string values
// (type "s") exist.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "module/registrar_registry.h"
#include "platform/com/com.h"

namespace corvo::module {

// A malformed script or an unknown replacement variable
// (HResultFromWin32(ERROR_INVALID_DATA)).
inline constexpr HRESULT kRegistrarScriptError = HResultFromWin32(ERROR_INVALID_DATA);

struct ScriptPosition {
    int line = 0;    // 1-based
    int column = 0;  // 1-based, in bytes
};

// Where and why a script failed (to parse or to run).
struct RegistrarError {
    ScriptPosition position;
    std::string message;
    // "line L, column C: message"
    std::string ToString() const;
};

enum class KeyDisposition {
    kNormal,       // created on registration, removed on unregistration when left empty
    kNoRemove,     // never removed; its contents are processed
    kForceRemove,  // deleted with its subtree before being created; removed with its subtree
    kDelete,       // deleted with its subtree on registration; ignored on unregistration
};

struct ScriptValue {
    std::string name;
    std::string data;
    ScriptPosition position;
};

struct ScriptKey {
    KeyDisposition disposition = KeyDisposition::kNormal;
    std::string name;
    std::optional<std::string> defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> subkeys;
    ScriptPosition position;
};

struct ScriptRootBlock {
    RegistryRoot root = RegistryRoot::kCurrentUser;
    std::vector<ScriptKey> keys;
    ScriptPosition position;
};

struct RegistrarScript {
    std::vector<ScriptRootBlock> roots;
};

// Variable name (without the percent signs, case-sensitive) -> value.
using ReplacementMap = std::map<std::string, std::string, std::less<>>;

// Parses the whole of `text`. On failure returns kRegistrarScriptError and
// fills `error` (when given) with the position and what was expected.
HRESULT ParseRegistrarScript(std::string_view text, const ReplacementMap& replacements,
                             RegistrarScript* script, RegistrarError* error);

}  // namespace corvo::module
