#include "workbench/pixmetric.h"

#include "model/imgdef.h"
#include "platform/satint.h"
#include "render/kxdraw.h"
#include "workbench/wbstate.h"

#include <cmath>

namespace {
const TImgDef* currentDef()
{
    if (wb.drawing == nullptr || !wb.drawing->imgDef)
        return nullptr;
    return wb.drawing->imgDef.get();
}
} // namespace

// Each axis is interpolated on its own: plane X (northing) from the pixel row, plane Y
// (easting) from the pixel column.
void inputPixelToMetric(int x, int y, double& X, double& Y)
{
    X = Y = 0.0;
    const TImgDef* d = currentDef();
    if (d == nullptr || d->imgX1 == d->imgX2 || d->imgY1 == d->imgY2)
        return;
    // Differences in 64 bits: control points far apart must not overflow.
    const long long dy = static_cast<long long>(y) - d->imgY1;
    const long long dx = static_cast<long long>(x) - d->imgX1;
    const long long spanY = static_cast<long long>(d->imgY2) - d->imgY1;
    const long long spanX = static_cast<long long>(d->imgX2) - d->imgX1;
    X = d->worldX1 + static_cast<double>(dy) / static_cast<double>(spanY) * (d->worldX2 - d->worldX1);
    Y = d->worldY1 + static_cast<double>(dx) / static_cast<double>(spanX) * (d->worldY2 - d->worldY1);
}

namespace {
// A point far off the sheet (a control point typed as 3e9 m) stays far off, within the range
// that the overlay can add its marks to; -1 when there is no number at all.
int truncToPixel(double v)
{
    return std::isnan(v) ? -1 : satToInt(v);
}
} // namespace

void inputMetricToPixel(double X, double Y, int& x, int& y)
{
    x = y = -1;
    const TImgDef* d = currentDef();
    if (d == nullptr || d->worldX1 == d->worldX2 || d->worldY1 == d->worldY2)
        return;
    // The pixel spans in doubles: control points far apart must not overflow an int.
    const double spanX = static_cast<double>(d->imgX2) - d->imgX1;
    const double spanY = static_cast<double>(d->imgY2) - d->imgY1;
    x = truncToPixel(d->imgX1 + (Y - d->worldY1) / (d->worldY2 - d->worldY1) * spanX);
    y = truncToPixel(d->imgY1 + (X - d->worldX1) / (d->worldX2 - d->worldX1) * spanY);
}
