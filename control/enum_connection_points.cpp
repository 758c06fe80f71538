#include "control/enum_connection_points.h"

#include "control/enum_snapshot.h"

namespace corvo {

namespace {

struct ConnectionPointPolicy {
    using Stored = ComPtr<IConnectionPoint>;
    static void CopyOut(const ComPtr<IConnectionPoint>& from, IConnectionPoint** to) {
        *to = ComPtr<IConnectionPoint>(from).Detach();
    }
};

using CEnumConnectionPoints = CEnumSnapshot<IEnumConnectionPoints, IConnectionPoint*,
                                            IID_IEnumConnectionPoints, ConnectionPointPolicy>;

}  // namespace

HRESULT CreateEnumConnectionPoints(const std::vector<ComPtr<IConnectionPoint>>& points,
                                   IEnumConnectionPoints** out) {
    return CEnumConnectionPoints::CreateFrom(points, out);
}

}  // namespace corvo
