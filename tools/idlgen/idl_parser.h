// Parser of the IDL subset used by this project. Anything outside the subset is
// an error reported as "file:line: message".
#pragma once

#include <stdexcept>
#include <string>

#include "tools/idlgen/idl_model.h"

namespace corvo::idlgen {

class IdlError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses `text` (the contents of `file_name`) and checks it; throws IdlError.
IdlFile ParseIdl(const std::string& text, const std::string& file_name);

}  // namespace corvo::idlgen
