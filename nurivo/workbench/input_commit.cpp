// The commit of the figure in the input record, band polygons, and the area and distance
// measurements that end in the control-point list.
#include "workbench/input.h"

#include "model/imgdef.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/ui.h"
#include "render/kxdraw.h"
#include "workbench/inputpos.h"
#include "workbench/pixmetric.h"
#include "workbench/wbdialogs.h"
#include "workbench/wbstate.h"

#include <cmath>
#include <numbers>

namespace {

TPoint& inputPt(int i) { return wb.inputRec.pts[static_cast<size_t>(i)]; }

std::string areaText() { return strPrintf("%.3lf", inputPolygonArea()); }

} // namespace

double inputPolygonArea()
{
    const TPRec& rec = wb.inputRec;
    const int n = std::min<int>(rec.nPts, static_cast<int>(rec.pts.size()));
    if (n < 2)
        return 0.0;
    double px = 0, py = 0;
    inputPixelToMetric(rec.pts[0].x, rec.pts[0].y, px, py);
    double sum = 0.0;
    for (int i = 1; i < n; ++i) {
        double x = 0, y = 0;
        inputPixelToMetric(rec.pts[static_cast<size_t>(i)].x, rec.pts[static_cast<size_t>(i)].y,
                           x, y);
        sum += px * y - x * py;
        px = x;
        py = y;
    }
    return std::fabs(sum / 2.0);
}

void inputPolylineToBand(const std::string& widthText, int dpi)
{
    TPRec& rec = wb.inputRec;
    const int n = std::min<int>(rec.nPts, static_cast<int>(rec.pts.size()));
    if (n < 2)
        return;
    const double h = strToReal(widthText) * dpi * 0.0393700787 * 0.5;

    const std::vector<TPoint> c(rec.pts.begin(), rec.pts.begin() + n);
    std::vector<double> theta(static_cast<size_t>(n - 1));
    for (int j = 0; j + 1 < n; ++j) {
        const TPoint a = c[static_cast<size_t>(j)];
        const TPoint b = c[static_cast<size_t>(j + 1)];
        theta[static_cast<size_t>(j)] =
            a == b ? 0.0 : std::atan2(static_cast<double>(a.y - b.y), static_cast<double>(a.x - b.x));
    }
    struct Offset {
        double x, y;
    };
    auto offset = [h](double t) {
        return Offset{std::cos(t + std::numbers::pi / 2) * h, std::sin(t + std::numbers::pi / 2) * h};
    };

    const size_t total = static_cast<size_t>(2 * n + 1);
    if (rec.pts.size() < total)
        rec.pts.resize(total);
    for (int i = 0; i < n; ++i) {
        const double cx = c[static_cast<size_t>(i)].x;
        const double cy = c[static_cast<size_t>(i)].y;
        double lx = 0, ly = 0, rx = 0, ry = 0;
        if (i == 0 || i == n - 1) {
            const Offset o = offset(theta[static_cast<size_t>(i == 0 ? 0 : n - 2)]);
            lx = cx - o.x;
            ly = cy - o.y;
            rx = cx + o.x;
            ry = cy + o.y;
        } else {
            const Offset o1 = offset(theta[static_cast<size_t>(i - 1)]);
            const Offset o2 = offset(theta[static_cast<size_t>(i)]);
            const TPoint prev = c[static_cast<size_t>(i - 1)];
            const TPoint next = c[static_cast<size_t>(i + 1)];
            double ix = 0, iy = 0;
            // The corner is mitred where the offset sides meet; parallel sides keep the plain
            // offset of the earlier segment.
            if (senbun_no_kouten(ix, iy, prev.x - o1.x, prev.y - o1.y, cx - o1.x, cy - o1.y,
                                 cx - o2.x, cy - o2.y, next.x - o2.x, next.y - o2.y) != -1) {
                lx = ix;
                ly = iy;
                rx = 2 * cx - ix;
                ry = 2 * cy - iy;
            } else {
                lx = cx - o1.x;
                ly = cy - o1.y;
                rx = cx + o1.x;
                ry = cy + o1.y;
            }
        }
        // A near U-turn mitres far out (or a width typed as 1e12 offsets far out): the corner
        // stops at the saturation limit instead of wrapping.
        rec.pts[static_cast<size_t>(i)] = TPoint{satToInt(lx), satToInt(ly)};
        rec.pts[static_cast<size_t>(2 * n - 1 - i)] = TPoint{satToInt(rx), satToInt(ry)};
    }
    rec.pts[static_cast<size_t>(2 * n)] = rec.pts[0];
    rec.nPts = 2 * n + 1;
    rec.startPt = rec.pts[0];
    rec.endPt = rec.pts[static_cast<size_t>(n - 1)];
    rec.startAngle = static_cast<int>(theta.front() * 180.0 / std::numbers::pi + 90.0);
    rec.endAngle = static_cast<int>(theta.back() * 180.0 / std::numbers::pi + 90.0);
    rec.kind = PK_POLYGON;
}

int TKXInput::askAttributes()
{
    WorkbenchDialogs& d = wbDialogs();
    if (wb.curLayer == 0)
        return d.showKXInputRec2 ? d.showKXInputRec2(2, &wb.inputRec) : 1;
    return d.showQRVInputRec ? d.showQRVInputRec(wb.curLayer - 1, 2, &wb.inputRec) : 1;
}

void TKXInput::MI_FixClick()
{
    if (wb.measureState == 12) {
        measureArea();
        return;
    }
    commitStore();
}

void TKXInput::commitStore()
{
    PData* store = wbCurrentStore();
    TPRec& rec = wb.inputRec;
    const int n = std::min<int>(rec.nPts, static_cast<int>(rec.pts.size()));
    if (!store || n < 2)
        return;
    // The previous band's commit left the record a polygon; this centre line is the band
    // mode's polyline again, as the first band's was.
    if (wb.drawTag == 23)
        rec.kind = PK_POLYLINE;
    if (wb.areaColumn && rec.kind == PK_POLYGON)
        rec.name = areaText();

    const int row = view_.gridRow();
    const int r = row - 1;
    const bool newFigure = row < 1 || row >= view_.gridRowCount() - 1 || r >= store->PD_GetCount();
    TPRec copy;
    if (newFigure) {
        if (askAttributes() == 1)
            return; // the points stay for the operator to go on
    } else {
        copy = store->PD_GetPoly(r);
        if (wb.curLayer == 0 && rec.kind == PK_CALLOUT)
            copy.name = rec.name; // a callout keeps its distance text
        rec.name = copy.name;
        rec.layerIndex = copy.layerIndex;
    }

    // What the operator entered, for a cancelled dialog after the points were reshaped below.
    const TPRec entered = rec;
    if (rec.kind != PK_TEXT && rec.kind != PK_CALLOUT)
        rec.startPt = inputPt(0);
    rec.endPt = inputPt(1);
    rec.startAngle = rec.endAngle = 0;
    if (wb.drawTag == 23)
        inputPolylineToBand(view_.oresenText(), wb.drawing->imgDef ? wb.drawing->imgDef->dpi : 0);
    if (rec.kind == PK_CIRCLE) {
        const TPoint p0 = inputPt(0);
        const TPoint p1 = inputPt(1);
        const TPoint c{(p0.x + p1.x) / 2, (p0.y + p1.y) / 2};
        const double dx = static_cast<double>(p1.x) - c.x;
        const double dy = static_cast<double>(p1.y) - c.y;
        const int radius = satToInt(std::sqrt(dx * dx + dy * dy));
        inputPt(0) = c;
        inputPt(1) = TPoint{c.x + radius, c.y};
    }

    auto add = [&] {
        const int index = store->PD_AddPoly(1, rec);
        view_.figureChanged(wb.curLayer, nullptr, store->PD_GetPolyPtr(index));
    };
    if (newFigure) {
        add();
    } else {
        switch (ui::confirmYesNoCancel("図形の置換え(はい) / 追加(いいえ) / キャンセル")) {
        case ui::Answer::Yes: {
            const TPRec before = store->PD_GetPoly(r);
            store->PD_ChangePoly(r, rec);
            view_.figureChanged(wb.curLayer, &before, store->PD_GetPolyPtr(r));
            break;
        }
        case ui::Answer::No:
            rec.name = copy.name;
            if (wb.areaColumn && rec.kind == PK_POLYGON)
                rec.name = areaText();
            rec.layerIndex = copy.layerIndex;
            if (askAttributes() == 1) {
                rec = entered;
                repaintWhole();
                return;
            }
            add();
            break;
        case ui::Answer::Cancel:
            break;
        }
    }

    view_.fillGrid();
    const int current = view_.gridRow();
    if (current != view_.gridRowCount() - 1 && view_.moveTicked()) {
        view_.setGridRow(current + 1);
        view_.gridRowClicked();
    }
    view_.resetState();
    repaintWhole();
}

void TKXInput::measureArea()
{
    TPRec& rec = wb.inputRec;
    double x0 = 0, y0 = 0;
    if (rec.nPts > 0 && !rec.pts.empty())
        inputPixelToMetric(rec.pts[0].x, rec.pts[0].y, x0, y0);
    const double area = inputPolygonArea();
    const int row = posGetCurrentRow();
    const std::string name = strPrintf("A-%02d", row);
    std::string value = strPrintf("%.3lf", area);
    if (ui::inputQuery("面積入力(" + name + ")", "面積 (M2):", value))
        posSetRow(row, name, x0, y0);
    rec.nPts = 0;
    wb.measureState = 0;
    repaintWhole();
}

void TKXInput::measureDistance()
{
    // The measured line shows while the query is open.
    measureLineShown_ = true;
    refreshFeedback();
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    inputPixelToMetric(wb.prevPoint.x, wb.prevPoint.y, x1, y1);
    inputPixelToMetric(wb.curPoint.x, wb.curPoint.y, x2, y2);
    const double dist = std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
    const int row = posGetCurrentRow();
    const std::string name = strPrintf("P-%02d", row);
    std::string value = strPrintf("%.3lf", dist);
    if (ui::inputQuery("距離入力(" + name + ")", "距離 (M):", value)) {
        double t = 0.0;
        if (strScan(value, "%lf", &t) != 1)
            t = 0.0;
        const double a = (x1 == x2 && y1 == y2) ? 0.0 : std::atan2(x2 - x1, y2 - y1);
        posSetRow(row, name, x1 + t * std::sin(a), y1 + t * std::cos(a));
    }
    measureLineShown_ = false;
    wb.measureState = 0;
    repaintWhole();
}
