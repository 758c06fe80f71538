// The JSON form of an XParam tree used by `corvo-sso xml`:
//   NODE  = {"name": STR, "node": NODE-KIND, "value": VALUE, "children": [NODE, ...]}
//   VALUE = null (Empty) | {"kind": VALUE-KIND, "text": STR or null}
// On input VALUE may also be {"kind": 81, "hex": "4142"} for Binary, and the
// text of a numeric kind is parsed into the typed value.
// Both directions walk the tree with an explicit stack, so the depth of a
// tree is limited by memory only.
#pragma once

#include <cstdio>
#include <nlohmann/json_fwd.hpp>
#include <stdexcept>
#include <string>

#include "xparam/xparam.h"

namespace corvo::cli {

// A JSON tree that cannot be turned into an XParam tree; the message names
// what is wrong and where (as a JSON pointer).
class TreeJsonError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Writes `root` (or null when absent) as NODE to `out`; the text is pure ASCII.
void WriteTreeJson(xparam::XParam* root, std::FILE* out);

// As WriteTreeJson, into a string (for small trees and for callers that
// compose a larger object).
void AppendTreeJson(xparam::XParam* root, std::string& out);

// Builds a detached tree from one NODE; throws TreeJsonError. Names and texts
// go through RestoreProtectedUnits (json_text.h), so `node` is expected to be
// read from text that went through ProtectLoneSurrogates.
xparam::XParamRef BuildTreeFromJson(const nlohmann::json& node);

}  // namespace corvo::cli
