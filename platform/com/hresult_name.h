// Symbolic names of the result codes this system returns, for messages.
#pragma once

#include <string>

#include "platform/com/com.h"

namespace corvo {

// "E_FAIL" etc., or nullptr for a code without a known name.
const char* HResultName(HRESULT hr);
// "E_FAIL (0x80004005)", or "0x8007001F" alone when the name is unknown.
std::string DescribeHResult(HRESULT hr);

}  // namespace corvo
