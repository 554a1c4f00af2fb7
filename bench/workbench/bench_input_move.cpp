// Times one mouse move of figure input over the sheet view of an A1 sheet with 5000 figures
// (snapping on, a 50-point polygon in progress): the snap, the hints, the feedback and the
// repaints it asks for (the kept picture and the overlay in the dirty areas, the magnifier),
// against a bare copy of the whole view from a ready 32-bit image, in one process.
#include "benchsheet.h"

#include "model/tracegrid.h"
#include "render/canvas.h"
#include "workbench/input.h"
#include "workbench/keptpicture.h"
#include "workbench/wbstate.h"

#include <QApplication>
#include <QPainter>
#include <QRegion>

#include <cmath>
#include <cstdio>

using namespace benchsheet;

namespace {

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

// The form as far as a move reaches it: dirty areas and the magnifier are collected and painted
// after the move, as the event loop would.
struct BenchView : InputView {
    QPoint scroll;
    QRegion dirty;
    bool loupe = false;

    QPoint scrollPosition() const override { return scroll; }
    QSize scrollBoxSize() const override { return QSize(kViewW, kViewH); }
    void scrollTo(int x, int y) override { scroll = QPoint(x, y); }
    void scrollToCentre(int, int) override {}
    int gridRow() const override { return 1; }
    int gridRowCount() const override { return 2; }
    void setGridRow(int) override {}
    void fillGrid() override {}
    void gridRowClicked() override {}
    void resetState() override {}
    bool checkPointTicked() const override { return true; }
    bool moveTicked() const override { return false; }
    std::string oresenText() const override { return "5.0"; }
    void setStatus(const std::string&) override {}
    void setHint(const std::string&) override {}
    void repaintView(const QRect& r) override { dirty += r; }
    void repaintAll() override { dirty += QRect(scroll, QSize(kViewW, kViewH)); }
    void repaintLoupe() override { loupe = true; }
    void figureChanged(int, const TPRec*, const TPRec*) override {}
    void popupPicRB(QPoint) override {}
    void popupCandidates(QPoint, const std::vector<std::string>&) override {}
    void popupEditActions(QPoint, bool, bool) override {}
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Sheet sheet(argc > 1 ? argv[1] : "../shared/data");
    KXDraw& kx = sheet.kx;
    kx.SetDrawParams(1, 3, 0, 1, 1, 1, 1, 1, 1.0, 1, 1, 1.0);
    const double dpm = 400 * 0.03937007874015748;
    wb = TWorkbenchState{};
    wb.drawing = &kx;
    wb.viewDivisor = 1;
    cfgSetInt(kxVtxVal, 5);

    // Recognised line work: the figures' edges, so line ends lie where the figures' vertices do.
    polyInit(kSheetW, kSheetH);
    for (int i = 0; i < sheet.store.PD_GetCount(); ++i) {
        const TPRec& f = sheet.store.recs[static_cast<size_t>(i)];
        for (int k = 1; k < f.nPts; ++k)
            polyAddSegment(f.pts[static_cast<size_t>(k - 1)].x, f.pts[static_cast<size_t>(k - 1)].y,
                           f.pts[static_cast<size_t>(k)].x, f.pts[static_cast<size_t>(k)].y);
    }
    polyGridFromBitmap(1, kSheetW, kSheetH);
    polyMarkVertices();

    BenchView view;
    view.scroll = QPoint(3000, 5000);
    TKXInput input(view);
    KeptPicture kept;
    kept.setView(&kx, QSize(kSheetW, kSheetH), dpm);
    const QRect visible(view.scroll, QSize(kViewW, kViewH));

    // A polygon of 50 points in progress across the view.
    inputSetDrawMode(1);
    wb.inputRec.pts.resize(WB_INPUT_POINTS);
    for (int i = 0; i < 50; ++i)
        wb.inputRec.pts[static_cast<size_t>(i)] =
            TPoint{visible.left() + 100 + i * 34, visible.top() + 300 + (i % 2) * 80};
    wb.inputRec.nPts = 50;
    wb.prevPoint = wb.curPoint = wb.inputRec.pts[49];

    QImage screen(kViewW, kViewH, QImage::Format_RGB32);
    auto paint = [&](const QRegion& region) {
        QPainter p(&screen);
        p.translate(-visible.topLeft());
        for (const QRect& r : region) {
            const QRect part = r.intersected(visible);
            if (part.isEmpty())
                continue;
            p.setClipRect(part);
            kept.paint(p, part, visible);
            Canvas c(p, 96, part);
            input.inputPaintOverlay(c);
        }
    };
    // The magnifier: the raster round the mouse, twice enlarged, with its cross-hair.
    QImage loupeBox(145, 146, QImage::Format_RGB32);
    auto paintLoupe = [&] {
        QPainter p(&loupeBox);
        const QRect src(wb.loupeCentre.x - 36, wb.loupeCentre.y - 36, 72, 73);
        p.drawImage(loupeBox.rect(), sheet.raster.image(), src);
        p.setPen(Qt::red);
        p.drawLine(0, 73, 145, 73);
        p.drawLine(72, 0, 72, 146);
    };
    paint(QRegion(visible)); // the kept picture is made here

    // Two runs of the mouse: along the polygon's row, mostly between figures where the snap
    // finds nothing; and from vertex to vertex of the figures in view, where every move snaps
    // to a new point and the rubber band is painted again.
    std::vector<QPoint> free;
    for (int i = 0; i < 600; ++i)
        free.emplace_back(200 + i * 3, 340 + static_cast<int>(60 * std::sin(i * 0.05)));
    // The vertices of the figures in view, visited in order of x in steps of 4 pixels.
    std::vector<QPoint> stops;
    for (int i = 0; i < sheet.store.PD_GetCount(); ++i)
        for (const TPoint& v : sheet.store.recs[static_cast<size_t>(i)].pts)
            if (visible.adjusted(50, 50, -50, -50).contains(v.x, v.y))
                stops.emplace_back(v.x - visible.left() + 2, v.y - visible.top() - 1);
    std::sort(stops.begin(), stops.end(), [](QPoint a, QPoint b) { return a.x() < b.x(); });
    std::vector<QPoint> snapping;
    for (size_t i = 1; i < stops.size(); ++i) {
        const QPoint a = stops[i - 1], b = stops[i];
        const int n = std::max(1, static_cast<int>(std::hypot(b.x() - a.x(), b.y() - a.y()) / 4));
        for (int k = 0; k < n; ++k)
            snapping.emplace_back(a.x() + (b.x() - a.x()) * k / n, a.y() + (b.y() - a.y()) * k / n);
    }
    auto run = [&](const std::vector<QPoint>& path, double& repaintedShare) {
        size_t step = 0;
        size_t repainted = 0;
        const double ms = msPerRun(3001, [&] {
            const QPoint at = path[step++ % path.size()] + view.scroll;
            input.mouseMove(Qt::NoModifier, at.x(), at.y());
            repainted += view.dirty.isEmpty() ? 0 : 1;
            paint(view.dirty);
            view.dirty = QRegion();
            if (view.loupe)
                paintLoupe();
            view.loupe = false;
        });
        repaintedShare = 100.0 * static_cast<double>(repainted) / static_cast<double>(step);
        return ms;
    };
    // Every move lands on another vertex of the view: each one paints the rubber band again.
    std::vector<QPoint> jumps;
    for (size_t i = 0; i < stops.size(); ++i)
        jumps.push_back(stops[(i * 7919) % stops.size()]);
    double freeShare = 0, snapShare = 0, jumpShare = 0;
    const double moveFree = run(free, freeShare);
    const double moveSnap = run(snapping, snapShare);
    const double moveJump = run(jumps, jumpShare);

    const QImage ready = screen.copy();
    QImage target(kViewW, kViewH, QImage::Format_RGB32);
    const double bare = msPerRun(3001, [&] {
        QPainter p(&target);
        p.drawImage(0, 0, ready);
    });
    std::printf("%-34s %10s %10s %8s %12s\n", "view 1920 x 1080, 1/1, snap on", "move ms",
                "bare ms", "ratio", "repainted");
    std::printf("%-34s %10.3f %10.3f %8.2f %11.0f%%\n", "50-point polygon, between figures",
                moveFree, bare, moveFree / bare, freeShare);
    std::printf("%-34s %10.3f %10.3f %8.2f %11.0f%%\n", "50-point polygon, vertex to vertex",
                moveSnap, bare, moveSnap / bare, snapShare);
    std::printf("%-34s %10.3f %10.3f %8.2f %11.0f%%\n", "50-point polygon, jumps to vertices",
                moveJump, bare, moveJump / bare, jumpShare);
    std::printf("goal: each ratio <= 2 (%zu vertices in view)\n", stops.size());
    polyFree();
    return 0;
}
