// IEnumConnectionPoints over a container's connection points.
#pragma once

#include <vector>

#include "platform/com/com.h"
#include "platform/com/com_ptr.h"

namespace corvo {

// A new enumerator over `points` (references added), with one reference for
// the caller.
HRESULT CreateEnumConnectionPoints(const std::vector<ComPtr<IConnectionPoint>>& points,
                                   IEnumConnectionPoints** out);

}  // namespace corvo
