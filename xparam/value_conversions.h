// The value conversions of XParam in one include: text to number, number to
// number, number to text, and the base64 codec.
#pragma once

#include "xparam/base64.h"
#include "xparam/number_parse.h"
#include "xparam/number_text.h"
#include "xparam/numeric_conversion.h"
