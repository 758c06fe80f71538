// ItemMap: the content of an item list document, a map from an item's id to
// its text. Names compare exactly (case counts, code unit by code unit), as
// the names of an SSOData object do; a name has at most one entry.
#pragma once

#include <map>
#include <string>

namespace corvo::srlz {

using ItemMap = std::map<std::u16string, std::u16string>;

}  // namespace corvo::srlz
