#include "workbench/input.h"

#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/tracegrid.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/ui.h"
#include "render/canvas.h"
#include "render/kxdraw.h"
#include "workbench/inputpos.h"
#include "workbench/pixmetric.h"
#include "workbench/wbstate.h"

#include <QPoint>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

int snapTolerance() { return 2 * cfgGetInt(kxVtxVal); }

TPoint& inputPt(int i) { return wb.inputRec.pts[static_cast<size_t>(i)]; }

void ensureInputBuffer()
{
    if (wb.inputRec.pts.size() < static_cast<size_t>(WB_INPUT_POINTS))
        wb.inputRec.pts.resize(WB_INPUT_POINTS);
}

QPoint toView(TPoint p)
{
    const int d = std::max(1, wb.viewDivisor);
    return QPoint(p.x / d, p.y / d);
}

// The view rectangle the shapes cover, with room for the pen and the marks.
QRect shapesArea(const TKXInput::Shapes& s)
{
    QRect area;
    auto add = [&area](TPoint a, TPoint b, int margin) {
        const QPoint va = toView(a);
        const QPoint vb = toView(b);
        const QRect r = QRect(QPoint(std::min(va.x(), vb.x()), std::min(va.y(), vb.y())),
                              QPoint(std::max(va.x(), vb.x()), std::max(va.y(), vb.y())))
                            .adjusted(-margin, -margin, margin, margin);
        area = area.isNull() ? r : area.united(r);
    };
    if (s.mark)
        add(s.markAt, s.markAt, 7);
    if (s.line || s.rect)
        add(s.lineFrom, s.lineTo, 3);
    if (s.closing)
        add(s.closeFrom, s.lineTo, 3);
    return area;
}

// The inverted shapes are two dots wide, drawn as two one-dot shapes side by side that share
// no dot, so each pixel is inverted once and a second drawing restores the picture.
void invertRing(Canvas& c, QPoint a, QPoint b)
{
    const QPoint ring[] = {a, {b.x(), a.y()}, b, {a.x(), b.y()}, a};
    c.polyline(ring, 5);
}

void invertBox(Canvas& c, QPoint a, QPoint b)
{
    const QPoint lo(std::min(a.x(), b.x()), std::min(a.y(), b.y()));
    const QPoint hi(std::max(a.x(), b.x()), std::max(a.y(), b.y()));
    invertRing(c, lo, hi);
    if (hi.x() - lo.x() > 2 && hi.y() - lo.y() > 2)
        invertRing(c, lo + QPoint(1, 1), hi - QPoint(1, 1));
}

void invertSquare(Canvas& c, QPoint p, int r) { invertBox(c, p - QPoint(r, r), p + QPoint(r, r)); }

// A line two dots wide as two one-dot lines side by side, which the canvas sets dot by dot.
void drawWideSegment(Canvas& c, QPoint a, QPoint b)
{
    const QPoint side = std::abs(b.x() - a.x()) >= std::abs(b.y() - a.y()) ? QPoint(0, 1) : QPoint(1, 0);
    const QPoint first[] = {a, b};
    const QPoint second[] = {a + side, b + side};
    c.polyline(first, 2);
    c.polyline(second, 2);
}

void invertLine(Canvas& c, TPoint from, TPoint to) { drawWideSegment(c, toView(from), toView(to)); }

void invertRect(Canvas& c, TPoint a, TPoint b) { invertBox(c, toView(a), toView(b)); }

// The plane distance in metres between two raster points.
double metricDistance(TPoint a, TPoint b)
{
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    inputPixelToMetric(a.x, a.y, x1, y1);
    inputPixelToMetric(b.x, b.y, x2, y2);
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

} // namespace

// ---- drawing modes and snapping ----

void inputSetDrawMode(int tag)
{
    struct Mode {
        int tag, kind, mode;
    };
    static constexpr Mode modes[] = {{1, PK_POLYGON, 1},     {2, PK_POLYLINE, 2},
                                     {3, PK_LEADER_MARKS, 2}, {4, PK_TEXT, 4},
                                     {5, PK_TEXT, 3},        {6, PK_POLYLINE, 3},
                                     {7, PK_POLYGON, 3},     {8, PK_LINK_POLYGON, 1},
                                     {9, PK_CIRCLE, 3},      {10, PK_POLYGON, 5},
                                     {11, PK_CALLOUT, 5},    {23, PK_POLYLINE, 2}};
    for (const Mode& m : modes) {
        if (m.tag == tag) {
            wb.drawTag = tag;
            wb.inputRec.kind = m.kind;
            wb.inputMode = m.mode;
            return;
        }
    }
}

bool inputSnapToVertex(int tol, TPoint p, TPoint& found)
{
    if (const PData* store = wbCurrentStore()) {
        int x = 0, y = 0;
        if (store->PD_FindVertex(tol, p.x, p.y, x, y) >= 0) {
            found = TPoint{x, y};
            return true;
        }
    }
    int x = 0, y = 0;
    if (polyFindVertexNear(tol, p.x, p.y, x, y)) {
        found = TPoint{x, y};
        return true;
    }
    return false;
}

// ---- the input object ----

TKXInput::TKXInput(InputView& view) : view_(view) { ensureInputBuffer(); }

TKXInput::Shapes TKXInput::currentShapes() const
{
    Shapes s;
    if (measureLineShown_) {
        s.line = true;
        s.lineFrom = wb.prevPoint;
        s.lineTo = wb.curPoint;
        return s;
    }
    if (wb.pickIndex >= 0) {
        if (moveFeedbackOn_) {
            s.mark = s.line = true;
            s.markAt = s.lineTo = wb.curPoint;
            s.lineFrom = wb.prevPoint;
        }
        return s;
    }
    if (wb.inputRec.nPts > 0 && !wb.inputRec.pts.empty()) {
        s.mark = true;
        s.markAt = s.lineTo = wb.curPoint;
        s.lineFrom = wb.prevPoint;
        (wb.drawTag == 7 ? s.rect : s.line) = true;
        if (wb.inputMode == 1 && wb.inputRec.nPts > 2) {
            s.closing = true;
            s.closeFrom = inputPt(0);
        }
    } else if (wb.xorMarkShown) {
        s.mark = true;
        s.markAt = wb.curPoint;
    }
    return s;
}

// Feedback is painted from the state: the areas of the shapes last shown and of the shapes now
// are painted again, so nothing stale stays on screen whatever the form repainted meanwhile.
void TKXInput::refreshFeedback()
{
    const Shapes now = currentShapes();
    if (now == shown_)
        return;
    QRect area = shapesArea(shown_);
    const QRect next = shapesArea(now);
    area = area.isNull() ? next : (next.isNull() ? area : area.united(next));
    shown_ = now;
    if (!area.isNull())
        view_.repaintView(area);
}

void TKXInput::repaintWhole()
{
    shown_ = currentShapes();
    view_.repaintAll();
}

bool TKXInput::storePoint(TPoint p)
{
    ensureInputBuffer();
    TPRec& rec = wb.inputRec;
    // A polygon keeps the last slot for its closing point, a band its 2n + 1 points.
    int limit = WB_INPUT_POINTS;
    if (wb.drawTag == 23)
        limit = (WB_INPUT_POINTS - 1) / 2;
    else if (wb.inputMode == 1 && !(rec.nPts > 0 && p == inputPt(0)))
        limit = WB_INPUT_POINTS - 1;
    if (rec.nPts >= limit) {
        ui::showMessage("点数が上限に達しました");
        return false;
    }
    inputPt(rec.nPts++) = p;
    return true;
}

void TKXInput::mouseDown(bool right, Qt::KeyboardModifiers, int x, int y)
{
    const TPoint p{x * wb.viewDivisor, y * wb.viewDivisor};
    if (right && wb.inputRec.nPts == 0) {
        if (wb.pickIndex >= 0) {
            wb.editMode = -1;
            wb.pickIndex = -1;
            moveFeedbackOn_ = false;
            refreshFeedback();
        }
        inputPopupCandidates(snapTolerance(), p);
        return;
    }
    if (wb.measureState == 2) {
        wb.prevPoint = wb.curPoint = p;
        wb.measureState = 3;
        refreshFeedback();
        return;
    }
    if (wb.measureState == 3) {
        measureDistance();
        return;
    }
    if (wb.editMode >= 0) {
        pressMove();
        return;
    }
    pressDrawing(right, p, x, y);
}

void TKXInput::pressDrawing(bool right, TPoint p, int x, int y)
{
    TPRec& rec = wb.inputRec;
    ensureInputBuffer();
    if (right) {
        view_.popupPicRB(QPoint(x, y));
        return;
    }
    if (rec.nPts == 0) {
        if (wb.inputMode == 4) {
            wb.prevPoint = p;
            wb.curPoint = TPoint{p.x + 32, p.y};
            inputPt(0) = wb.prevPoint;
            inputPt(1) = wb.curPoint;
            rec.nPts = 2;
            MI_FixClick();
            return;
        }
        TPoint first = p;
        if (view_.checkPointTicked() && wb.drawTag != 5 &&
            !inputSnapToVertex(snapTolerance(), p, first))
            return;
        wb.prevPoint = wb.curPoint = first;
        inputPt(0) = first;
        rec.nPts = 1;
        refreshFeedback();
        return;
    }
    if (wb.inputMode == 3) {
        if (wb.curPoint == wb.prevPoint) {
            ui::showMessage("１点目と２点目の座標が同じです");
            return;
        }
        if (wb.drawTag == 7) {
            const TPoint a = wb.prevPoint;
            const TPoint b = wb.curPoint;
            inputPt(1) = TPoint{a.x, b.y};
            inputPt(2) = TPoint{b.x, b.y};
            inputPt(3) = TPoint{b.x, a.y};
            inputPt(4) = TPoint{a.x, a.y};
            rec.nPts = 5;
        } else {
            inputPt(1) = wb.curPoint;
            rec.nPts = 2;
        }
        MI_FixClick();
        return;
    }
    // The last point again adds nothing but still completes the figure, so a callout or a ring
    // whose attribute dialog was cancelled is committed by the same click once more.
    const TPoint pt = view_.checkPointTicked() ? wb.curPoint : p;
    if (!(pt == wb.prevPoint)) {
        if (!storePoint(pt)) {
            repaintWhole();
            return;
        }
        wb.curPoint = wb.prevPoint = pt;
    }
    if (wb.inputMode == 5 && rec.nPts == 3) {
        if (wb.drawTag == 10) {
            const TPoint p0 = inputPt(0);
            const TPoint p1 = inputPt(1);
            const TPoint p2 = inputPt(2);
            const TPoint f = geoPerpendicularPoint(p0.x, p0.y, p1.x, p1.y, p2.x, p2.y);
            inputPt(2) = f;
            inputPt(3) = TPoint{f.x - p1.x + p0.x, f.y - p1.y + p0.y};
            inputPt(4) = p0;
            rec.nPts = 5;
        } else if (wb.drawTag == 11) {
            rec.name = strPrintf("%.3lf", metricDistance(inputPt(0), inputPt(1)));
        }
        MI_FixClick();
        return;
    }
    if (wb.inputMode == 1 && rec.nPts > 3 && inputPt(0) == wb.prevPoint) {
        MI_FixClick();
        return;
    }
    repaintWhole();
}

void TKXInput::pressMove()
{
    // After "選択" the press only ends the edit state.
    if (wb.editMode == 0) {
        view_.resetState();
        moveFeedbackOn_ = false;
        repaintWhole();
        return;
    }
    if (wb.curPoint == wb.prevPoint) {
        ui::showMessage("頂点移動はできません。（同一点）");
        view_.resetState();
        moveFeedbackOn_ = false;
        repaintWhole();
        return;
    }
    PData* store = wbCurrentStore();
    const TPolyChkRec hit = PD_GetPickHit(wb.pickIndex);
    TPRec* fig = (store && wb.pickIndex >= 0) ? store->PD_GetPolyPtr(hit.recIndex) : nullptr;
    if (fig) {
        const TPRec before = *fig;
        const TPoint to = wb.curPoint;
        const int n = std::min<int>(fig->nPts, static_cast<int>(fig->pts.size()));
        auto pt = [fig](int i) -> TPoint& { return fig->pts[static_cast<size_t>(i)]; };
        const int v = hit.vtxIndex;
        if (wb.editMode == 1 && v >= 0 && v < n) {
            if (fig->kind == PK_CIRCLE && n >= 2 && v == 0) {
                const int r = pt(1).x - pt(0).x;
                pt(0) = to;
                pt(1) = TPoint{to.x + r, to.y};
            } else if (fig->kind == PK_CIRCLE && n >= 2 && v == 1) {
                const double dx = static_cast<double>(pt(0).x) - to.x;
                const double dy = static_cast<double>(pt(0).y) - to.y;
                const int r = satToInt(std::sqrt(dx * dx + dy * dy));
                pt(1) = TPoint{pt(0).x + r, pt(0).y};
            } else {
                const TPoint old = pt(v);
                if (fig->kind == PK_CALLOUT && v == 1 && n >= 3)
                    pt(2) = TPoint{pt(2).x + to.x - old.x, pt(2).y + to.y - old.y};
                // The first point of a closed ring carries its closing point, so the ring stays
                // closed.
                if (v == 0 && n > 1 && PD_IsPolygonKind(fig->kind) && pt(n - 1) == old)
                    pt(n - 1) = to;
                pt(v) = to;
            }
        } else if (wb.editMode == 2) {
            if (fig->kind == PK_TEXT) {
                const int dx = to.x - fig->labelX;
                const int dy = to.y - fig->labelY;
                for (int i = 0; i < std::min(n, 2); ++i)
                    pt(i) = TPoint{pt(i).x + dx, pt(i).y + dy};
            }
            fig->labelX = to.x;
            fig->labelY = to.y;
        }
        view_.figureChanged(wb.curLayer, &before, fig);
    }
    view_.resetState();
    moveFeedbackOn_ = false;
    repaintWhole();
}

void TKXInput::mouseMove(Qt::KeyboardModifiers mods, int x, int y)
{
    const int d = wb.viewDivisor;
    const TPoint p{x * d, y * d};
    if (mods & Qt::ShiftModifier) {
        const QPoint pos = view_.scrollPosition();
        const QSize box = view_.scrollBoxSize();
        int h = pos.x();
        int v = pos.y();
        if (x - pos.x() < 32)
            h -= 32;
        else if (x - pos.x() > box.width() - 48)
            h += 32;
        if (y - pos.y() < 32)
            v -= 32;
        else if (y - pos.y() > box.height() - 48)
            v += 32;
        if (h != pos.x() || v != pos.y())
            view_.scrollTo(h, v);
    }
    wb.loupeCentre = p;
    double mx = 0, my = 0;
    inputPixelToMetric(p.x, p.y, mx, my);
    std::string status = strPrintf("(%d, %d) (%.3lf, %.3lf)", p.x, p.y, mx, my);

    if (wb.inputRec.nPts == 0) {
        std::string hint;
        if (const PData* store = wbCurrentStore()) {
            int fx = 0, fy = 0;
            const int label = store->PD_FindLabel(20, p.x, p.y, fx, fy);
            if (label >= 0)
                hint = "図形等: " + store->recs[static_cast<size_t>(label)].name;
            else if (store->PD_FindVertex(snapTolerance(), p.x, p.y, fx, fy) >= 0)
                hint = "図形等の頂点";
        }
        if (!hintKnown_ || hint != hint_) {
            hint_ = hint;
            hintKnown_ = true;
            view_.setHint(hint);
        }
    }

    if (wb.pickIndex >= 0) {
        moveFeedback(p);
        view_.setStatus(status);
        view_.repaintLoupe();
        return;
    }

    TPoint q = p;
    bool found = true;
    if (!(wb.inputRec.nPts > 0 && wb.drawTag == 5) && view_.checkPointTicked())
        found = inputSnapToVertex(snapTolerance(), p, q);
    wb.loupeCentre = found ? q : p;
    if (!found) {
        status = strPrintf("ChkKoten: NG  %d, %d", x, y);
    } else {
        if (wb.inputRec.nPts > 0 && wb.drawTag == 6) {
            const TPoint a = wb.prevPoint;
            wb.curPoint = std::abs(q.x - a.x) < std::abs(q.y - a.y) ? TPoint{a.x, q.y}
                                                                    : TPoint{q.x, a.y};
        } else {
            wb.curPoint = q;
        }
        status = strPrintf("ChkKoten: OK  %d, %d", x, y);
    }
    wb.xorMarkShown = 1;
    view_.setStatus(status);
    refreshFeedback();
    view_.repaintLoupe();
}

void TKXInput::moveFeedback(TPoint p)
{
    TPoint q = p;
    if (view_.checkPointTicked() && !inputSnapToVertex(snapTolerance(), p, q))
        return;
    wb.curPoint = q;
    moveFeedbackOn_ = true;
    refreshFeedback();
}

// ---- popup commands ----

void TKXInput::PM_PicRB_DeleteClick()
{
    TPRec& rec = wb.inputRec;
    if (rec.nPts > 0) {
        --rec.nPts;
        if (rec.nPts > 0)
            wb.curPoint = wb.prevPoint = inputPt(rec.nPts - 1);
    }
    repaintWhole();
}

void TKXInput::PM_PicRB_FIXClick()
{
    TPRec& rec = wb.inputRec;
    if (wb.inputMode == 1) {
        if (rec.nPts < 3)
            return;
        // A ring closed already (on its first vertex, or by an earlier "確定" whose dialog was
        // cancelled) keeps its one closing point.
        ensureInputBuffer();
        if (!(rec.nPts > 3 && inputPt(rec.nPts - 1) == inputPt(0))) {
            if (!storePoint(inputPt(0))) {
                repaintWhole();
                return;
            }
            wb.prevPoint = inputPt(0);
        }
    } else if (rec.nPts < 2) {
        return;
    }
    MI_FixClick();
}

void TKXInput::PM_PicRB_CancelClick()
{
    view_.resetState();
    moveFeedbackOn_ = false;
    repaintWhole();
}

int TKXInput::inputPopupCandidates(int tol, TPoint p)
{
    candidateCount_ = PD_PickBoth(tol, p.x, p.y, nullptr, wbCurrentStore());
    if (candidateCount_ == 0)
        return 0;
    if (candidateCount_ == 1) {
        ITEM11Click(0);
        return 1;
    }
    std::vector<std::string> texts;
    for (int i = 0; i < candidateCount_; ++i)
        texts.push_back(PD_GetPickHit(i).text);
    view_.popupCandidates(toView(p), texts);
    return candidateCount_;
}

void TKXInput::ITEM11Click(int tag)
{
    moveFeedbackOn_ = false;
    wb.pickIndex = tag;
    PData* store = wbCurrentStore();
    if (tag < 0 || tag >= candidateCount_ || !store) {
        wb.pickIndex = -1;
        refreshFeedback();
        return;
    }
    const TPolyChkRec hit = PD_GetPickHit(tag);
    const TPRec* fig = store->PD_GetPolyPtr(hit.recIndex);
    if (!fig) {
        wb.pickIndex = -1;
        return;
    }
    refreshFeedback();
    view_.popupEditActions(toView(hit.hitPt), fig->kind != PK_TEXT && hit.hitKind != 1,
                           fig->kind != PK_CALLOUT);
}

void TKXInput::MenuItem2Click(int tag)
{
    PData* store = wbCurrentStore();
    if (wb.pickIndex < 0 || !store)
        return;
    const TPolyChkRec hit = PD_GetPickHit(wb.pickIndex);
    const TPRec* fig = store->PD_GetPolyPtr(hit.recIndex);
    if (!fig)
        return;
    wb.editMode = tag;
    switch (tag) {
    case 0: {
        wb.pickIndex = -1;
        moveFeedbackOn_ = false;
        const int row = hit.recIndex + 1;
        if (row != view_.gridRow()) {
            view_.setGridRow(row);
            view_.gridRowClicked();
        }
        refreshFeedback();
        return;
    }
    case 1:
        if (hit.vtxIndex < 0 || hit.vtxIndex >= std::min<int>(fig->nPts, static_cast<int>(fig->pts.size()))) {
            wb.editMode = -1;
            return;
        }
        wb.curPoint = wb.prevPoint = fig->pts[static_cast<size_t>(hit.vtxIndex)];
        return;
    case 2:
        wb.curPoint = wb.prevPoint = TPoint{fig->labelX, fig->labelY};
        return;
    default:
        wb.editMode = -1;
        PM_PicRB_DeleteClick();
        return;
    }
}

// ---- the overlay ----

void TKXInput::inputPaintOverlay(Canvas& canvas)
{
    const int d = std::max(1, wb.viewDivisor);
    if (posIsCoordShown()) {
        canvas.setPenMode(PenMode::Copy);
        canvas.setPenWidth(2);
        canvas.setBrushStyle(BrushStyle::Clear);
        canvas.setFontHeight(12);
        canvas.setFontColor(0x0000FF);
        canvas.setTransparent(true);
        const int rows = posGetRowCount();
        for (int i = 0; i < rows; ++i) {
            std::string name;
            double mx = 0, my = 0;
            if (!posGetRow(i, name, mx, my))
                continue;
            int px = 0, py = 0;
            inputMetricToPixel(mx, my, px, py);
            const int x = px / d;
            const int y = py / d;
            canvas.setPenColor(0x0000FF);
            canvas.ellipse(x - 6, y - 6, x + 6, y + 6);
            canvas.setPenColor(0xFF0000);
            canvas.ellipse(x - 3, y - 3, x + 3, y + 3);
            canvas.textOut(x + 6, y, name);
        }
    }

    const TPRec& rec = wb.inputRec;
    const int n = std::min<int>(rec.nPts, static_cast<int>(rec.pts.size()));
    if (n >= 2) {
        std::vector<QPoint> line;
        line.reserve(static_cast<size_t>(n) + 1);
        for (int i = 0; i < n; ++i)
            line.push_back(toView(rec.pts[static_cast<size_t>(i)]));
        if (wb.inputMode == 1 && n > 2)
            line.push_back(line.front());
        canvas.setPenMode(PenMode::Copy);
        canvas.setPenWidth(1);
        canvas.setPenColor(0x008000);
        for (size_t i = 1; i < line.size(); ++i)
            drawWideSegment(canvas, line[i - 1], line[i]);
    }

    canvas.setPenMode(PenMode::Not);
    canvas.setPenWidth(1);
    const int selN = std::min<int>(wb.selRec.nPts, static_cast<int>(wb.selRec.pts.size()));
    for (int i = 1; i < selN; ++i)
        invertSquare(canvas, toView(wb.selRec.pts[static_cast<size_t>(i)]), 3);

    const Shapes s = currentShapes();
    if (s.mark)
        invertSquare(canvas, toView(s.markAt), 4);
    if (s.line)
        invertLine(canvas, s.lineFrom, s.lineTo);
    if (s.rect)
        invertRect(canvas, s.lineFrom, s.lineTo);
    if (s.closing)
        invertLine(canvas, s.closeFrom, s.lineTo);
    canvas.setPenMode(PenMode::Copy);
}
