// The sheet view's kept picture: after every scroll, edit and option change the view painted
// from it is, pixel for pixel, a full Draw of the view.
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "render/bitmap.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/kxdraw.h"
#include "workbench/keptpicture.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr int kSheetW = 4096;
constexpr int kSheetH = 3072;
constexpr int kDpi = 300;

// Line work on white, one bit: a grid, diagonals and a few dense blocks.
QImage makeSheet()
{
    QImage sheet(kSheetW, kSheetH, QImage::Format_Mono);
    sheet.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    sheet.fill(1);
    for (int y = 0; y < kSheetH; ++y)
        for (int x = 0; x < kSheetW; ++x)
            if (x % 61 == 0 || y % 47 == 0 || (x + y) % 263 == 0 || ((x / 300 + y / 300) % 7 == 0 && (x ^ y) % 5 == 0))
                sheet.setPixel(x, y, 0);
    return sheet;
}

TPRec makeFigure(QRandomGenerator& rng, int kind, int cx, int cy)
{
    static const char* const names[] = {"12-3", "宅地", "道", "A-12345"};
    TPRec f;
    f.kind = kind;
    f.layerIndex = rng.bounded(5); // 4 is outside the list: row 0
    const int n = kind == 0 || kind == 10 || kind == 11 ? 3 + rng.bounded(6)
                  : kind == 1                         ? 2 + rng.bounded(5)
                  : kind == 6                         ? 3
                                                      : 2;
    for (int k = 0; k < n; ++k)
        f.pts.push_back({cx + rng.bounded(-220, 220), cy + rng.bounded(-220, 220)});
    f.nPts = n;
    f.flags = kind == 2 || kind == 3 ? rng.bounded(16) : (kind == 0 || kind == 5 || kind >= 10) ? rng.bounded(2) : 0;
    f.name = names[rng.bounded(4)];
    f.startPt = {kind == 4 ? 20 + rng.bounded(40) : 30, kind == 6 ? (rng.bounded(2) ? -25 : 25) : 0};
    f.labelX = cx;
    f.labelY = cy;
    return f;
}

struct Sheet {
    Bitmap raster{makeSheet(), pf1bit};
    Bitmap half;
    Bitmap quarter;
    PData stores[2];
    KXDraw kx;

    Sheet()
    {
        imgResizeRefine1Bit(kSheetW / 2, kSheetH / 2, raster, half);
        imgResizeRefine1Bit(kSheetW / 4, kSheetH / 4, raster, quarter);
        layTblCreate(2);
        const std::pair<TColor, int> rows[] = {{0x0000FF, 2}, {0x00A000, 101}, {0xFF0000, 3}, {0x800080, 301}};
        for (int layer = 0; layer < 2; ++layer) {
            TLayer& list = *layTblGet(layer)->layer;
            for (int i = 0; i < 4; ++i) {
                TLayerRec r;
                r.code = i + 1;
                r.color = rows[(i + layer) % 4].first;
                r.lineCode = rows[(i + 2 * layer) % 4].second;
                list.layerAdd(r);
            }
        }
        cfgSetInt(kxTextSize, 30);
        cfgSetInt(kxSArrowSize, 30);
        cfgSetInt(kxEArrowSize, 30);
        QRandomGenerator rng(11);
        const int kinds[] = {0, 1, 2, 3, 4, 5, 6, 10, 11};
        for (int i = 0; i < 360; ++i) {
            const int kind = kinds[i % 9];
            stores[i % 2].PD_AddPoly(0, makeFigure(rng, kind, rng.bounded(kSheetW), rng.bounded(kSheetH)));
        }
        kx.rasterBmp = &raster;
        kx.halfBmp = &half;
        kx.quarterBmp = &quarter;
        kx.pdata[0] = &stores[0];
        kx.pdata[1] = &stores[1];
        kx.layerCount = 2;
    }
};

// Empty when equal, else how many pixels differ and the first.
std::string difference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return "sizes differ";
    int count = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y) && count++ == 0)
                first = QPoint(x, y);
    if (count == 0)
        return {};
    return std::to_string(count) + " pixels differ, first at (" + std::to_string(first.x()) + ", " +
           std::to_string(first.y()) + ")";
}

// A sheet view: the paint box of one divisor, scrolled, painted from a kept picture as the
// workbench paints it.
struct View {
    Sheet& sheet;
    int div;
    QSize box;
    double dpm;
    QRect visible;
    KeptPicture kept;

    View(Sheet& s, int divisor, QSize size) : sheet(s), div(divisor)
    {
        box = QSize(kSheetW / div, kSheetH / div);
        dpm = kDpi * 0.03937007874015748 / div;
        visible = QRect(QPoint(0, 0), size);
        setParams();
        kept.setView(&sheet.kx, box, dpm);
        scrollTo((box.width() - size.width()) / 2, (box.height() - size.height()) / 2);
    }
    // The workbench's render state: background, normal tone, raster over the fills, names,
    // sizes by ratio.
    void setParams(int names = 1, int tone = 1, int touka = 1, int back = 1)
    {
        sheet.kx.SetDrawParams(back, 3, 0, tone, touka, names, 0, 1, 1.0, div, div, 1.0);
    }
    void scrollTo(int x, int y)
    {
        x = std::clamp(x, 0, std::max(0, box.width() - visible.width()));
        y = std::clamp(y, 0, std::max(0, box.height() - visible.height()));
        visible.moveTo(x, y);
    }
    void scrollBy(int dx, int dy) { scrollTo(visible.x() + dx, visible.y() + dy); }

    QImage painted()
    {
        QImage out(visible.size(), QImage::Format_RGB32);
        out.fill(Qt::white);
        QPainter p(&out);
        p.translate(-visible.topLeft());
        kept.paint(p, visible, visible);
        return out;
    }
    // The part of the paint box the picture holds.
    QRect heldArea() const { return kept.window().intersected(QRect(QPoint(0, 0), box)); }
    // All of it copied out, as a paint of it would.
    QImage held()
    {
        const QRect area = heldArea();
        QImage out(area.size(), QImage::Format_RGB32);
        out.fill(Qt::white);
        QPainter p(&out);
        p.translate(-area.topLeft());
        kept.paint(p, area, visible);
        return out;
    }
    // The view (or `area` of the paint box) drawn whole on a device larger than it, as the
    // paint box is (Qt's stroker cuts wide lines where they leave the device, which moves dots
    // near its edges).
    QImage fullDraw() { return fullDraw(visible); }
    QImage fullDraw(const QRect& area)
    {
        constexpr int m = 64;
        QImage out(area.size() + QSize(2 * m, 2 * m), QImage::Format_RGB32);
        out.fill(Qt::white);
        {
            QPainter p(&out);
            p.translate(QPoint(m, m) - area.topLeft());
            p.setClipRect(area);
            Canvas c(p, 96, area);
            sheet.kx.Draw(&c, box.width(), box.height(), dpm);
        }
        return out.copy(m, m, area.width(), area.height());
    }
    // Paints the view; what the paint rendered into the picture.
    QRegion paintedRendering()
    {
        const QRegion before = kept.validRegion();
        const QImage shown = painted();
        EXPECT_EQ(difference(shown, fullDraw()), "") << "divisor " << div;
        return kept.validRegion() - before;
    }
    // Turns of the event loop until the picture renders nothing more; every turn renders at
    // most one piece.
    void idle()
    {
        for (int turn = 0; turn < 100000; ++turn) {
            const QRegion before = kept.validRegion();
            QCoreApplication::processEvents();
            const QRect added = (kept.validRegion() - before).boundingRect();
            if (added.isEmpty())
                return;
            EXPECT_LE(std::int64_t{added.width()} * added.height(), KeptPicture::kPiecePixels)
                << "divisor " << div << ": a turn rendered " << added.width() << " x " << added.height();
        }
        ADD_FAILURE() << "the picture never stopped rendering";
    }
};

#define EXPECT_SAME_AS_DRAW(view, step)                                                          \
    do {                                                                                         \
        const QImage kept_ = (view).painted();                                                   \
        EXPECT_EQ(difference(kept_, (view).fullDraw()), "") << "divisor " << (view).div << ", " << (step); \
    } while (0)

Sheet& sheet()
{
    static Sheet s;
    return s;
}

class KeptPictureDivisors : public ::testing::TestWithParam<int> {};

TEST_P(KeptPictureDivisors, ScrollsEditsAndOptionsPaintWhatDrawDraws)
{
    Sheet& s = sheet();
    View v(s, GetParam(), QSize(400, 300));
    EXPECT_SAME_AS_DRAW(v, "first paint");
    EXPECT_SAME_AS_DRAW(v, "unchanged repaint");

    struct Scroll {
        int dx, dy;
        const char* what;
    };
    for (const Scroll& sc : {Scroll{100, 0, "scroll right"}, Scroll{0, 37, "scroll down"},
                             Scroll{53, 61, "diagonal scroll"}, Scroll{-250, -180, "long scroll back"},
                             Scroll{3, -2, "small scroll"}})
    {
        v.scrollBy(sc.dx, sc.dy);
        EXPECT_SAME_AS_DRAW(v, sc.what);
    }

    // Edits near the middle of the view, in layer 1 (drawn over layer 0).
    PData& store = s.stores[1];
    const QPoint mid = (v.visible.center()) * v.div;
    QRandomGenerator rng(5);
    for (int kind : {0, 2, 4, 6}) {
        TPRec added = makeFigure(rng, kind, mid.x(), mid.y());
        added.flags = kind == 2 ? 15 : kind == 0 ? 1 : 0;
        store.PD_AddPoly(0, added);
        const int index = store.PD_GetCount() - 1;
        v.kept.invalidateFigure(1, *store.PD_GetPolyPtr(index));
        EXPECT_SAME_AS_DRAW(v, "figure of kind " + std::to_string(kind) + " added");

        TPRec before = store.PD_GetPoly(index);
        TPRec moved = before;
        for (TPoint& p : moved.pts) {
            p.x += 60 * v.div / 4 + 7;
            p.y -= 45 * v.div / 4 + 3;
        }
        moved.labelX += 31;
        moved.labelY -= 17;
        store.PD_ChangePoly(index, moved);
        v.kept.invalidateFigure(1, before);
        v.kept.invalidateFigure(1, *store.PD_GetPolyPtr(index));
        EXPECT_SAME_AS_DRAW(v, "figure of kind " + std::to_string(kind) + " moved");

        // A vertex moved in place, as the point move does it.
        TPRec* live = store.PD_GetPolyPtr(index);
        const TPRec old = *live;
        live->pts[0].x -= 90;
        v.kept.invalidateFigure(1, old);
        v.kept.invalidateFigure(1, *live);
        EXPECT_SAME_AS_DRAW(v, "vertex of kind " + std::to_string(kind) + " moved");
    }
    // A figure of layer 0 under the others is deleted, then the last added ones.
    for (int layer : {0, 1}) {
        PData& st = s.stores[layer];
        int nearest = 0;
        for (int i = 0; i < st.PD_GetCount(); ++i) {
            const TPRec* f = st.PD_GetPolyPtr(i);
            const QPoint a(f->labelX, f->labelY), b(st.PD_GetPolyPtr(nearest)->labelX, st.PD_GetPolyPtr(nearest)->labelY);
            if ((a - mid).manhattanLength() < (b - mid).manhattanLength())
                nearest = i;
        }
        const TPRec gone = st.PD_GetPoly(nearest);
        st.PD_DelPoly(nearest);
        v.kept.invalidateFigure(layer, gone);
        EXPECT_SAME_AS_DRAW(v, "figure of layer " + std::to_string(layer) + " deleted");
    }
    while (store.PD_GetCount() > 180) {
        const TPRec gone = store.PD_GetPoly(store.PD_GetCount() - 1);
        store.PD_DelPoly(store.PD_GetCount() - 1);
        v.kept.invalidateFigure(1, gone);
    }
    EXPECT_SAME_AS_DRAW(v, "added figures deleted");

    // Options: seen by the picture from the render state alone.
    v.setParams(0);
    EXPECT_SAME_AS_DRAW(v, "names off");
    v.setParams(1, 2, 0);
    EXPECT_SAME_AS_DRAW(v, "dark tone, fills over the raster");
    v.setParams(1, 0, 1, 0);
    EXPECT_SAME_AS_DRAW(v, "no background, light tone");
    cfgSetInt(kxTextSize, 45);
    EXPECT_SAME_AS_DRAW(v, "larger names");
    cfgSetInt(kxTextSize, 30);
    layTblGet(0)->layer->layerGetPtr(1)->color = 0x00C0C0;
    EXPECT_SAME_AS_DRAW(v, "a row's colour");
    layTblGet(0)->layer->layerGetPtr(1)->color = 0x00A000;
    v.setParams();
    v.scrollBy(-40, 90);
    EXPECT_SAME_AS_DRAW(v, "scroll after the options");
}

INSTANTIATE_TEST_SUITE_P(Divisors, KeptPictureDivisors, ::testing::Values(1, 2, 4, 8),
                         [](const auto& info) { return "div" + std::to_string(info.param); });

// A figure order the picture cannot see (a sort) is shown after invalidateAll; a figure whose
// fill and outline moved between layers' order shows exactly.
TEST(KeptPicture, SortShownAfterInvalidateAll)
{
    Sheet& s = sheet();
    View v(s, 2, QSize(320, 240));
    v.painted();
    PData& store = s.stores[0];
    for (int i = 0; i + 1 < store.PD_GetCount(); i += 2)
        store.PD_SwapPoly(i, i + 1);
    v.kept.invalidateAll();
    EXPECT_SAME_AS_DRAW(v, "after a sort");
    for (int i = 0; i + 1 < store.PD_GetCount(); i += 2)
        store.PD_SwapPoly(i, i + 1);
    v.kept.invalidateAll();
    EXPECT_SAME_AS_DRAW(v, "sorted back");
}

// At 1/4 and 1/8 the picture holds the whole paint box once painted, so a scroll renders
// nothing; at 1/1 the view with its margin.
TEST(KeptPicture, WindowAtEachDivisor)
{
    Sheet& s = sheet();
    for (int div : {1, 4, 8}) {
        View v(s, div, QSize(200, 150));
        v.painted();
        // A fresh picture renders what is shown first, the rest ahead of the view later.
        EXPECT_EQ(v.kept.validRegion(), QRegion(v.visible)) << div;
        while (v.kept.renderAhead()) {
        }
        const QRect box(QPoint(0, 0), v.box);
        if (div >= 4) {
            EXPECT_TRUE(v.kept.window().contains(box)) << div;
            EXPECT_EQ(v.kept.validRegion(), QRegion(box)) << div;
        } else {
            // The view with a margin of 256 pixels, sides rounded up to 64.
            EXPECT_TRUE(v.kept.window().contains(v.visible));
            EXPECT_EQ(v.kept.validRegion(), QRegion(v.kept.window().intersected(box)));
            EXPECT_EQ(v.kept.window().size(), QSize(768, 704));
            // The window stays while the view is less than a band (128) off its centre, then
            // follows it by a band, before the view comes near its edge.
            const QRect before = v.kept.window();
            v.scrollBy(100, 0);
            v.painted();
            EXPECT_EQ(v.kept.window(), before);
            v.scrollBy(100, 0);
            v.painted();
            EXPECT_EQ(v.kept.window(), before.translated(128, 0));
            v.scrollBy(-30, 250);
            v.painted();
            EXPECT_EQ(v.kept.window(), before.translated(128, 128));
        }
    }
}

// A fresh picture renders what is shown, and a paint that needs more renders just that; the
// rest of the window is rendered from idle time in small pieces nearest the view first, so
// that after a short pause a scroll only copies, also when the window follows the view. Every
// step shows what a full Draw shows, and so does all that the picture holds.
TEST(KeptPicture, IdleTimeRendersAheadSoScrollsOnlyCopy)
{
    Sheet& s = sheet();
    struct Case {
        int div;
        QPoint step;
    };
    for (const Case c : {Case{1, {100, 0}}, Case{1, {0, -100}}, Case{2, {-100, 100}}, Case{2, {100, 0}},
                         Case{4, {100, 0}}, Case{4, {-60, -100}}, Case{8, {0, 100}}}) {
        SCOPED_TRACE("divisor " + std::to_string(c.div) + ", step " + std::to_string(c.step.x()) + ", " +
                     std::to_string(c.step.y()));
        View v(s, c.div, QSize(400, 300));
        EXPECT_EQ(v.paintedRendering(), QRegion(v.visible));
        // The first scroll, before any idle time: the strip it exposes and nothing more.
        const QRegion shownBefore(v.visible);
        v.scrollBy(c.step.x(), c.step.y());
        EXPECT_EQ(v.paintedRendering(), QRegion(v.visible) - shownBefore);
        for (int i = 0; i < 6; ++i) {
            v.idle();
            EXPECT_EQ(QRegion(v.heldArea()) - v.kept.validRegion(), QRegion()) << "step " << i;
            EXPECT_EQ(difference(v.held(), v.fullDraw(v.heldArea())), "") << "after idle time, step " << i;
            v.scrollBy(c.step.x(), c.step.y());
            EXPECT_EQ(v.paintedRendering(), QRegion()) << "step " << i;
        }
    }
}

// A half made only when it is first drawn (as the opening leaves it) keeps what was drawn of
// it: idle time renders ahead, and the next scroll only copies.
TEST(KeptPicture, AHalfMadeAtItsFirstDrawKeepsThePicture)
{
    Sheet& s = sheet();
    Bitmap later;
    ASSERT_EQ(imgResizeForViewDeferred("1/2縮小", kSheetW / 2, kSheetH / 2, s.raster, later), 1);
    struct Restore {
        Sheet& s;
        ~Restore() { s.kx.halfBmp = &s.half; }
    } restore{s};
    s.kx.halfBmp = &later;
    View v(s, 2, QSize(400, 300));
    EXPECT_EQ(v.paintedRendering(), QRegion(v.visible));
    EXPECT_FALSE(later.isDeferred());
    v.idle();
    EXPECT_EQ(QRegion(v.heldArea()) - v.kept.validRegion(), QRegion()) << "rendered ahead";
    EXPECT_EQ(difference(v.held(), v.fullDraw(v.heldArea())), "");
    v.scrollBy(100, 0);
    EXPECT_EQ(v.paintedRendering(), QRegion()) << "the scroll only copies";
}

// A view without a drawing paints white; an empty dirty area paints nothing.
TEST(KeptPicture, NoDrawingPaintsWhite)
{
    KeptPicture kept;
    QImage out(50, 40, QImage::Format_RGB32);
    out.fill(Qt::black);
    {
        QPainter p(&out);
        kept.paint(p, QRect(0, 0, 50, 40), QRect(0, 0, 50, 40));
    }
    EXPECT_EQ(out.pixel(10, 10), qRgb(255, 255, 255));
}

} // namespace
