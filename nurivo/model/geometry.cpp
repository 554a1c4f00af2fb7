#include "model/geometry.h"

#include "model/pdata.h"
#include "platform/message.h"
#include "platform/satint.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

int midpoint(int a, int b)
{
    return static_cast<int>((static_cast<std::int64_t>(a) + b) / 2);
}

constexpr int kMaxLabelHits = 20;

} // namespace

int senbun_no_kouten(double& x, double& y, double x1, double y1, double x2, double y2,
                     double x3, double y3, double x4, double y4)
{
    x = 0.0;
    y = 0.0;
    const double det = (x3 - x4) * (y2 - y1) - (y3 - y4) * (x2 - x1);
    if (!(std::fabs(det) >= 1e-6)) {
        std::fputs("ERROR in senbun_no_kouten() in 2D-equations.h\n", stdout);
        return -1;
    }
    const double s = ((x3 - x4) * (y4 - y1) - (y3 - y4) * (x4 - x1)) / det;
    x = x1 + (x2 - x1) * s;
    y = y1 + (y2 - y1) * s;
    if (s >= 0.0 && s <= 1.0) {
        const double u = ((x2 - x1) * (y4 - y1) - (y2 - y1) * (x4 - x1)) / det;
        if (u >= 0.0 && u <= 1.0)
            return 1;
    }
    return 0;
}

TPoint PD_CalcLabelPos(const TPRec& rec, bool* complexShown)
{
    const int y = midpoint(rec.bbMin.y, rec.bbMax.y);
    const double scanX1 = static_cast<double>(rec.bbMin.x) - 1.0;
    const double scanX2 = static_cast<double>(rec.bbMax.x) + 1.0;

    const int n = std::min<int>(rec.nPts, static_cast<int>(rec.pts.size()));
    TPoint hits[kMaxLabelHits];
    int hitCount = 0;
    for (int i = 0; i < n; ++i) {
        // Edge i runs from the previous point, so the closing edge comes first.
        const TPoint& a = rec.pts[static_cast<size_t>(i == 0 ? n - 1 : i - 1)];
        const TPoint& b = rec.pts[static_cast<size_t>(i)];
        double hx = 0.0;
        double hy = 0.0;
        if (senbun_no_kouten(hx, hy, a.x, a.y, b.x, b.y, scanX1, y, scanX2, y) != 1)
            continue;
        if (hitCount == kMaxLabelHits) {
            if (!complexShown || !*complexShown)
                showMessage("複雑すぎる");
            if (complexShown)
                *complexShown = true;
            break;
        }
        hits[hitCount++] = TPoint{satToInt(hx), satToInt(hy)};
    }
    if (hitCount >= 2)
        return TPoint{midpoint(hits[0].x, hits[1].x), midpoint(hits[0].y, hits[1].y)};
    return TPoint{midpoint(rec.bbMin.x, rec.bbMax.x), y};
}
