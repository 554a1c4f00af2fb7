// The drawing object: setters, device mapping and the pixel facts of Draw.
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "platform/satint.h"
#include "render/bitmap.h"
#include "render/canvas.h"
#include "render/kxdraw.h"
#include "render/tone.h"

#include <QPainter>
#include <QRandomGenerator>

#include "renderapp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include <initializer_list>
#include <vector>

namespace {

using rendertest::app;

constexpr TColor kRed = 0x0000FF;
const QRgb kWhitePx = qRgb(255, 255, 255);

// Layer 0 with one attribute row per (colour, line code).
void setRows(std::initializer_list<std::pair<TColor, int>> rows)
{
    layTblCreate(1);
    TLayer& list = *layTblGet(0)->layer;
    int code = 1;
    for (auto [color, lineCode] : rows) {
        TLayerRec r;
        r.code = code++;
        r.color = color;
        r.lineCode = lineCode;
        list.layerAdd(r);
    }
}

TPRec figure(int kind, std::initializer_list<TPoint> pts, int flags = 0, int row = 0)
{
    TPRec f;
    f.kind = kind;
    f.flags = flags;
    f.layerIndex = row;
    f.pts.assign(pts);
    f.nPts = static_cast<int>(f.pts.size());
    if (!f.pts.empty()) {
        f.labelX = f.pts[0].x;
        f.labelY = f.pts[0].y;
    }
    return f;
}

struct Scene {
    PData store;
    KXDraw kx;
    int w;
    int h;

    Scene(int width, int height) : w(width), h(height)
    {
        app();
        kx.pdata[0] = &store;
        kx.layerCount = 1;
        // Screen, 50 % tone, fills over the raster, no names.
        kx.SetDrawParams(0, 3, 0, 2, 0, 0, 0, 0, 1.0, 1.0, 1.0, 1.0);
        kx.SetPrintLayout(0, 0, 0, 0, 0, 0);
        cfgSetInt(kxTextSize, 30);
        cfgSetInt(kxSArrowSize, 30);
        cfgSetInt(kxEArrowSize, 30);
    }
    void add(const TPRec& f) { store.PD_AddPoly(0, f); }
    QImage render(double dpm, int dpi = 96)
    {
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::white);
        Canvas c(img, dpi);
        kx.Draw(&c, w, h, dpm);
        return img;
    }
    // The part `view` of the sheet through a scrolled painter, the drawing told that only
    // `visible` will be seen.
    QImage renderView(const QRect& view, const QRect& visible, double dpm)
    {
        QImage out(view.size(), QImage::Format_RGB32);
        out.fill(Qt::white);
        {
            QPainter p(&out);
            p.translate(-view.topLeft());
            p.setClipRect(view);
            Canvas c(p, 96, visible);
            kx.Draw(&c, w, h, dpm);
        }
        return out;
    }
};

// A visible part that leaves nothing out.
const QRect kEverything(-5000, -5000, 10000, 10000);

bool inked(const QImage& img, int x, int y) { return img.pixel(x, y) != kWhitePx; }

// Box of the pixels that differ from white.
QRect inkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (inked(img, x, y))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

Bitmap oneBit(int w, int h, bool black)
{
    Bitmap b(w, h, pf1bit);
    b.image().fill(black ? 0 : 1);
    if (b.image().color(0) != qRgb(0, 0, 0))
        b.image().fill(black ? 1 : 0);
    return b;
}

} // namespace

TEST(KXDrawParams, MinusOneLeavesFieldsUnchanged)
{
    KXDraw kx;
    kx.SetDrawParams(1, 3, 2, 3, 1, 1, 1, 1, 5.0, 2.0, 0.5, 1.5);
    kx.SetDrawParams(-1, -1, -1, -1, -1, -1, -1, -1, -1.0, -1.0, -1.0, -1.0);
    EXPECT_EQ(kx.showImage, 1);
    EXPECT_EQ(kx.outMode, 2);
    EXPECT_EQ(kx.hatchKind, 3);
    EXPECT_EQ(kx.forceRatio, 1);
    EXPECT_EQ(kx.printRatio, 5.0);
    EXPECT_EQ(kx.divisor, 2.0);
    EXPECT_EQ(kx.zoom, 0.5);
    EXPECT_EQ(kx.rasterFactor, 1.5);

    kx.SetDrawParams(-1, -1, -1, -1, -1, -1, -1, -1, -1.0, -1.0, -1.0, 2.0);
    EXPECT_EQ(kx.zoom, 0.5);
    EXPECT_EQ(kx.rasterFactor, 2.0);
    kx.SetDrawParams(-1, -1, -1, -1, -1, -1, -1, -1, -1.0000001, -1.0, -1.0, -1.0);
    EXPECT_EQ(kx.printRatio, -1.0000001); // only exactly -1.0 means no change

    kx.SetPrintLayout(10, 20, 1, 2, 3, 4);
    kx.SetPrintLayout(-1, 5, -1, -1, -1, -1);
    EXPECT_EQ(kx.pOffsX, 10);
    EXPECT_EQ(kx.pOffsY, 5);
    EXPECT_EQ(kx.hrOffsY, 4);

    kx.SetScaleInfo(-1, -1);
    EXPECT_EQ(kx.scaleDenom, -1);
    EXPECT_EQ(kx.outDpi, -1);
}

TEST(KXDrawParams, DeviceMappingTruncatesAndAddsPageOffsetsInPageModes)
{
    KXDraw kx;
    kx.SetPrintLayout(10, 3, 0, 0, 0, 0);
    kx.dpm = 11.811;
    kx.zoom = 1.0;
    struct Case {
        int mode;
        int v;
        double divisor;
        int x, y;
    };
    for (const Case& k : {Case{0, 7, 2.0, 3, 3}, Case{0, -7, 2.0, -3, -3}, Case{2, 0, 1.0, 118, 35},
                          Case{1, 5, 2.0, 120, 37}, Case{0, 5, 0.0, kSatIntLimit, kSatIntLimit}}) {
        EXPECT_EQ(kx.ToDevX(k.mode, k.v, k.divisor), k.x) << k.mode << " " << k.v;
        EXPECT_EQ(kx.ToDevY(k.mode, k.v, k.divisor), k.y) << k.mode << " " << k.v;
    }
}

TEST(KXDrawBackground, ExactDivisorTakesThePreparedBitmapAnyOtherTheScaledRaster)
{
    Scene s(60, 60);
    setRows({{kRed, 1}});
    Bitmap raster = oneBit(100, 100, true);
    Bitmap half(50, 50, pf32bit);
    half.image().fill(QColor(0, 200, 0));
    s.kx.rasterBmp = &raster;
    s.kx.halfBmp = &half;
    s.kx.quarterBmp = &half;
    s.kx.SetDrawParams(1, -1, -1, -1, 0, -1, -1, -1, -1.0, 2.0, -1.0, -1.0);
    QImage a = s.render(4.0);
    EXPECT_EQ(a.pixel(10, 10), qRgb(0, 200, 0));
    EXPECT_EQ(a.pixel(55, 10), kWhitePx);
    s.kx.SetDrawParams(-1, -1, -1, -1, -1, -1, -1, -1, -1.0, 2.5, -1.0, -1.0);
    QImage b = s.render(4.0);
    EXPECT_EQ(b.pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(b.pixel(45, 10), kWhitePx); // 100 / 2.5 = 40 dots
}

TEST(KXDrawBackground, EachDivisorTakesItsBitmapAtItsSizeAndPlace)
{
    // The raster blue, its half green, its quarter red: which one shows, and how far it reaches.
    Bitmap raster(80, 80, pf32bit), half(40, 40, pf32bit), quarter(20, 20, pf32bit);
    raster.image().fill(QColor(0, 0, 255));
    half.image().fill(QColor(0, 255, 0));
    quarter.image().fill(QColor(255, 0, 0));
    struct Case {
        int outMode;
        double divisor;
        double rasterFactor;
        QRgb colour;
        QRect area; // what the bitmap covers, page offsets of 20 and 10 dots included
    };
    const QRgb blue = qRgb(0, 0, 255), green = qRgb(0, 255, 0), red = qRgb(255, 0, 0);
    const Case cases[] = {
        {0, 1.0, 1.0, blue, QRect(0, 0, 80, 80)},
        {0, 2.0, 1.0, green, QRect(0, 0, 40, 40)},
        {1, 2.0, 1.0, green, QRect(20, 10, 40, 40)}, // at the page offsets, like the figures
        {0, 4.0, 1.0, red, QRect(0, 0, 20, 20)},
        {0, 8.0, 1.0, red, QRect(0, 0, 10, 10)},   // the quarter stretched to half its size
        {0, 3.0, 1.0, blue, QRect(0, 0, 26, 26)},  // 80 / 3, truncated
        {0, 2.5, 2.0, blue, QRect(0, 0, 64, 64)},  // 160 / 2.5
        {2, 2.5, 2.0, blue, QRect(20, 10, 32, 32)}, // no raster factor on the printer
        {1, 2.5, 1.0, blue, QRect(20, 10, 32, 32)},
    };
    for (const Case& k : cases) {
        Scene s(100, 100);
        setRows({{kRed, 1}});
        s.kx.rasterBmp = &raster;
        s.kx.halfBmp = &half;
        s.kx.quarterBmp = &quarter;
        s.kx.SetDrawParams(1, -1, k.outMode, -1, 0, -1, -1, -1, -1.0, k.divisor, 1.0, k.rasterFactor);
        s.kx.SetPrintLayout(10, 5, 0, -1, -1, -1);
        const QImage img = s.render(2.0);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                ASSERT_EQ(img.pixel(x, y), k.area.contains(x, y) ? k.colour : kWhitePx)
                    << "mode " << k.outMode << " divisor " << k.divisor << " at " << x << "," << y;
    }
}

TEST(KXDrawBackground, RasterOverFillsOnlyWithTheOption)
{
    // A black raster line across a 50 % tone fill of a red polygon.
    for (int over : {0, 1}) {
        Scene s(40, 40);
        setRows({{kRed, 1}});
        Bitmap raster = oneBit(40, 40, false);
        for (int x = 0; x < 40; ++x)
            raster.image().setPixel(x, 20, raster.image().color(0) == qRgb(0, 0, 0) ? 0 : 1);
        s.kx.rasterBmp = &raster;
        s.kx.SetDrawParams(1, -1, -1, 2, over, -1, -1, -1, -1.0, 1.0, -1.0, -1.0);
        s.add(figure(0, {{2, 2}, {37, 2}, {37, 37}, {2, 37}}, 1));
        QImage img = s.render(4.0);
        const QImage* tone = toneGetGraphic(2);
        for (int x = 6; x < 30; ++x) {
            const bool dot = tone->pixelIndex(x % 8, 20 % 8) == 0;
            const QRgb want = over ? qRgb(0, 0, 0) : (dot ? qRgb(255, 0, 0) : kWhitePx);
            ASSERT_EQ(img.pixel(x, 20), want) << "over " << over << " x " << x;
            // Off the line the tone shows in the figure colour either way.
            const bool dot2 = tone->pixelIndex(x % 8, 10 % 8) == 0;
            ASSERT_EQ(img.pixel(x, 10), dot2 ? qRgb(255, 0, 0) : kWhitePx) << x;
        }
    }
}

TEST(KXDrawFills, FilledCircleWithCrossHatchIsFilledAsACircle)
{
    Scene s(100, 100);
    setRows({{kRed, 1}});
    s.kx.SetDrawParams(-1, -1, -1, 3, -1, -1, -1, -1, -1.0, -1.0, -1.0, -1.0);
    s.add(figure(5, {{50, 50}, {70, 50}}, 1));
    QImage img = s.render(4.0);
    int hatchInside = 0;
    for (int y = 35; y < 45; ++y)
        for (int x = 42; x < 58; ++x)
            hatchInside += img.pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_GT(hatchInside, 10);
    // The hatch and outline stay inside the circle of radius 20 about point 0, give or take
    // the dots of its outline.
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x)
            if (inked(img, x, y)) {
                ASSERT_LE(std::hypot(x - 50, y - 50), 22.0) << x << "," << y;
            }
    EXPECT_EQ(img.pixel(75, 75), kWhitePx);
}

TEST(KXDrawFigures, VerticalLeaderArrowPointsAlongTheLine)
{
    Scene s(100, 120);
    setRows({{0, 1}});
    s.add(figure(2, {{50, 10}, {50, 80}}, 2));
    QImage img = s.render(2.0); // arrow size 30 * 2 * 0.1 = 6 dots: head 18 long, 12 wide
    EXPECT_TRUE(inked(img, 54, 65));   // wide near its base above the tip
    EXPECT_FALSE(inked(img, 54, 79));  // narrow at the tip
    EXPECT_FALSE(inked(img, 50, 90));  // nothing below the tip
    EXPECT_FALSE(inked(img, 54, 95));
}

TEST(KXDrawFigures, LeaderWithoutEndArrowIsSolidOnADashedLayer)
{
    Scene s(100, 40);
    setRows({{0, 101}}); // 破線, width 1
    s.add(figure(2, {{5, 10}, {95, 10}}));
    s.add(figure(1, {{5, 30}, {95, 30}}));
    QImage img = s.render(4.0);
    int leader = 0;
    int polyline = 0;
    for (int x = 5; x < 95; ++x) {
        leader += inked(img, x, 10);
        polyline += inked(img, x, 30);
    }
    EXPECT_EQ(leader, 90);
    EXPECT_LT(polyline, 90); // the polyline of the same layer is dashed
    EXPECT_GT(polyline, 50);

    // With the end arrow the line takes the layer's dashes (24 on from x = 5, 8 off) up to
    // 18 dots before the tip, and the head is filled whole.
    Scene a(100, 40);
    setRows({{0, 101}});
    a.add(figure(2, {{5, 20}, {95, 20}}, 2));
    const QImage arrow = a.render(4.0);
    EXPECT_TRUE(inked(arrow, 28, 20));
    EXPECT_FALSE(inked(arrow, 29, 20));
    EXPECT_FALSE(inked(arrow, 36, 20));
    EXPECT_TRUE(inked(arrow, 37, 20));
    for (int x = 60; x < 95; ++x)
        ASSERT_TRUE(inked(arrow, x, 20)) << x;
}

TEST(KXDrawFigures, DashedPolylineCarriesItsDashAcrossTheCorner)
{
    Scene s(60, 20);
    setRows({{0, 101}});
    s.add(figure(1, {{0, 10}, {20, 10}, {40, 10}}));
    QImage img = s.render(4.0, 96);
    std::string row;
    for (int x = 0; x < 45; ++x)
        row += inked(img, x, 10) ? '#' : '.';
    EXPECT_EQ(row, std::string(24, '#') + std::string(8, '.') + std::string(8, '#') + std::string(5, '.'));
}

TEST(KXDrawFigures, TextHeightOnPaperHasAFloorOfThreeDots)
{
    struct Case {
        int outMode;
        int forceRatio;
        int size;
        int height;
    };
    for (const Case& k : {Case{2, 1, 10, -3}, Case{1, 0, 10, -3}, Case{0, 0, 10, -11}, Case{2, 1, 100, -23}}) {
        Scene s(200, 200);
        setRows({{0, 1}});
        TPRec t = figure(4, {{20, 50}, {120, 50}});
        t.name = "A";
        t.startPt.x = k.size;
        s.add(t);
        s.kx.SetDrawParams(-1, -1, k.outMode, -1, -1, -1, -1, k.forceRatio, 5.0, -1.0, -1.0, -1.0);
        QImage img(200, 200, QImage::Format_RGB32);
        Canvas c(img);
        s.kx.Draw(&c, 200, 200, 11.8);
        EXPECT_EQ(c.fontHeight(), k.height) << k.outMode << " size " << k.size;
    }
}

TEST(KXDrawFigures, NamesStandTwelveDotsLowerForLeadersAndNotAtAllForTexts)
{
    auto nameBox = [](int kind) {
        Scene s(200, 200);
        setRows({{0, 1}});
        s.kx.SetDrawParams(-1, -1, -1, -1, -1, 1, -1, -1, -1.0, -1.0, -1.0, -1.0);
        TPRec f = figure(kind, {{1000, 1000}, {1100, 1000}});
        f.name = "NM";
        f.labelX = 100;
        f.labelY = 100;
        s.add(f);
        return inkBox(s.render(4.0));
    };
    const QRect plain = nameBox(1);
    const QRect leader = nameBox(2);
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_EQ(leader.top() - plain.top(), 12);
    EXPECT_EQ(leader.left(), plain.left());

    for (int kind : {4, 6}) {
        QImage with, without;
        for (int names : {0, 1}) {
            Scene s(200, 200);
            setRows({{0, 1}});
            s.kx.SetDrawParams(-1, -1, -1, -1, -1, names, -1, -1, -1.0, -1.0, -1.0, -1.0);
            TPRec f = figure(kind, {{50, 100}, {150, 100}, {150, 140}});
            f.name = "NM";
            f.startPt = {30, 30};
            s.add(f);
            (names ? with : without) = s.render(4.0);
        }
        EXPECT_EQ(with, without) << kind;
    }
}

TEST(KXDrawFigures, VertexMarksOnScreenOnly)
{
    for (int mode : {0, 1}) {
        Scene s(100, 100);
        setRows({{0, 1}});
        s.kx.SetDrawParams(-1, -1, mode, -1, -1, -1, -1, -1, -1.0, -1.0, -1.0, -1.0);
        TPRec t = figure(4, {{50, 50}, {60, 50}});
        s.add(t); // no text: only the mark can show
        QImage img = s.render(4.0);
        EXPECT_EQ(inked(img, 48, 49), mode == 0) << mode;
        EXPECT_EQ(inkBox(img).isEmpty(), mode != 0) << mode;
    }
}

TEST(KXDrawScaleBar, TenMetreTicksAtTheScaleAndOnlyOnPaper)
{
    for (int mode : {0, 1}) {
        Scene s(400, 200);
        setRows({{0, 1}});
        s.kx.SetDrawParams(-1, -1, mode, -1, -1, -1, -1, -1, -1.0, -1.0, -1.0, -1.0);
        s.kx.SetPrintLayout(-1, -1, 1, -1, -1, -1);
        s.kx.SetScaleInfo(3000, 600);
        QImage img = s.render(4.0);
        // 10000 / 3000 = 3 mm per 10 m: 12 dots; bar from 140 to 260 at y = 200 - 60.
        const int y = 140;
        if (mode == 0) {
            EXPECT_TRUE(inkBox(img).isEmpty());
            continue;
        }
        EXPECT_TRUE(inked(img, 140, y));
        EXPECT_TRUE(inked(img, 259, y));
        EXPECT_FALSE(inked(img, 261, y));
        EXPECT_TRUE(inked(img, 152, y - 10));  // tick 1: 16 dots high
        EXPECT_FALSE(inked(img, 152, y - 17));
        EXPECT_TRUE(inked(img, 200, y - 20));  // tick 5: doubled
        EXPECT_FALSE(inked(img, 158, y - 10));
    }
    KXDraw kx;
    kx.SetDrawParams(0, 3, 1, 1, 0, 0, 0, 0, 1.0, 1.0, 1.0, 1.0);
    kx.SetPrintLayout(0, 0, 1, 0, 0, 0);
    kx.SetScaleInfo(0, 0);
    kx.layerCount = 0;
    QImage img(100, 100, QImage::Format_RGB32);
    Canvas c(img);
    kx.Draw(&c, 100, 100, 4.0);
    EXPECT_EQ(kx.scaleDenom, 1000);
}

TEST(KXDrawFigures, RowOutsideTheListLongFiguresAndAbsentStores)
{
    Scene s(200, 60);
    setRows({{kRed, 1}});
    TPRec zigzag;
    zigzag.kind = 1;
    for (int i = 0; i < 1500; ++i)
        zigzag.pts.push_back({i % 2 ? 10 : 190, 5 + i / 50});
    zigzag.nPts = 1500;
    zigzag.layerIndex = 7; // no such row: row 0
    s.add(zigzag);
    s.kx.layerCount = 2; // the second store is absent
    QImage img = s.render(4.0);
    EXPECT_EQ(img.pixel(100, 33), qRgb(255, 0, 0)); // drawn to its last points
}

TEST(KXDrawFigures, DrawingOnlyTheVisiblePartGivesTheSamePixels)
{
    Scene s(640, 480);
    setRows({{kRed, 1}, {0x00AA00, 102}, {0xFF0000, 303}, {0x333333, 410}});
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < 300; ++i) {
        const int kinds[] = {0, 1, 2, 3, 4, 5, 6, 10};
        TPRec f;
        f.kind = kinds[rng->bounded(8)];
        f.layerIndex = rng->bounded(4);
        f.flags = rng->bounded(16);
        const int n = f.kind == 5 ? 2 : f.kind == 6 ? 3 : 2 + rng->bounded(5);
        const int cx = rng->bounded(1280), cy = rng->bounded(960);
        for (int k = 0; k < n; ++k)
            f.pts.push_back({cx + rng->bounded(-60, 60), cy + rng->bounded(-60, 60)});
        f.nPts = n;
        f.labelX = f.pts[0].x;
        f.labelY = f.pts[0].y;
        f.name = i % 3 ? "名前" : "A12";
        f.startPt = {20 + rng->bounded(40), rng->bounded(-40, 40)};
        s.add(f);
    }
    s.kx.SetDrawParams(-1, -1, -1, 1, 1, 1, 1, -1, -1.0, 2.0, -1.0, -1.0);
    const QImage full = s.render(6.0);
    // A view of a scrolled sheet, drawn once skipping what lies outside it and once with
    // everything: the two must not differ in a pixel. (Qt's rasteriser may place a few
    // pixels of wide strokes differently from the unscrolled picture; that is no concern here.)
    for (QRect view : {QRect(0, 0, 200, 150), QRect(213, 97, 160, 120), QRect(500, 400, 140, 80)}) {
        const QImage part = s.renderView(view, view, 6.0);
        ASSERT_EQ(part, s.renderView(view, kEverything, 6.0)) << view.x() << "," << view.y();
        const QImage ref = full.copy(view);
        int diff = 0;
        for (int y = 0; y < ref.height(); ++y)
            for (int x = 0; x < ref.width(); ++x)
                diff += part.pixel(x, y) != ref.pixel(x, y);
        EXPECT_LT(diff, view.width() * view.height() / 500) << view.x() << "," << view.y();
    }
}

TEST(KXDrawFigures, AFigureWhoseVertexMovedOutOfItsStoredBoxIsStillDrawnInView)
{
    // A vertex move changes a point in place and leaves the record's box as it was.
    Scene s(400, 300);
    setRows({{kRed, 1}});
    s.add(figure(1, {{10, 10}, {20, 12}}));
    s.add(figure(0, {{30, 30}, {40, 30}, {40, 40}}, 1));
    s.store.recs[0].pts[1] = {390, 290};
    s.store.recs[1].pts[2] = {395, 295};
    const QRect view(300, 200, 100, 100);
    const QImage whole = s.renderView(view, kEverything, 4.0);
    ASSERT_NE(whole, rendertest::whiteImage(100, 100));
    EXPECT_EQ(s.renderView(view, view, 4.0), whole);
}

TEST(KXDrawFigures, TextsOfTheDefaultFontHeightAreDrawnWhereTheyReachIntoView)
{
    // A height of 0 dots (a size of 0, or one that truncates to 0 on screen) writes in the
    // canvas's default height, far larger than the size asked for.
    struct Case {
        int kind;
        int textSize; // setting for names, startPt.x for texts
        int bytes;
        int viewLeft; // beyond what the asked size could reach, within the default height's
    };
    for (const Case& k : {Case{1, 0, 40, 235}, Case{1, 1, 40, 245}, Case{4, 0, 80, 475}, Case{4, 1, 80, 475}}) {
        Scene s(600, 100);
        setRows({{0, 1}});
        s.kx.SetDrawParams(-1, -1, -1, -1, -1, 1, -1, -1, -1.0, -1.0, -1.0, -1.0);
        cfgSetInt(kxTextSize, k.kind == 1 ? k.textSize : 30);
        TPRec f = figure(k.kind, {{20, 50}, {21, 50}});
        f.name = std::string(static_cast<std::size_t>(k.bytes), 'W');
        f.startPt.x = k.kind == 4 ? k.textSize : 0;
        s.add(f);
        const QRect view(k.viewLeft, 0, 100, 100);
        const QImage whole = s.renderView(view, kEverything, 4.0);
        ASSERT_NE(whole, rendertest::whiteImage(100, 100)) << k.kind << " " << k.textSize;
        EXPECT_EQ(s.renderView(view, view, 4.0), whole) << k.kind << " " << k.textSize;
    }
}

TEST(KXDrawFigures, CalloutLinesAndArrowsStandWhereTheParallelogramPutsThem)
{
    // P0 (100, 50), P1 (100, 150), P2 (200, 150): M = (200, 50), N = (200, 100). Text height
    // and arrow size 30 at 4 dots/mm: -12 dots each; the barbs lie 18 dots beyond M and P2
    // and 6 to either side, the extension lines run 12 dots beyond M and P2.
    auto draw = [](const std::string& name, int arrow) {
        Scene s(260, 200);
        setRows({{0, 1}});
        TPRec f = figure(6, {{100, 50}, {100, 150}, {200, 150}});
        f.name = name;
        f.startPt = {30, arrow};
        s.add(f);
        return s.render(4.0);
    };
    const QImage empty = draw("", -30);
    for (int y = 50; y <= 150; ++y)
        ASSERT_TRUE(inked(empty, 200, y)) << y; // no gap without a text
    for (int x = 100; x < 212; ++x) {
        ASSERT_TRUE(inked(empty, x, 50)) << x;
        ASSERT_TRUE(inked(empty, x, 150)) << x;
    }
    EXPECT_FALSE(inked(empty, 213, 50));
    EXPECT_FALSE(inked(empty, 213, 150));
    for (QPoint barb : {QPoint(197, 41), QPoint(203, 41), QPoint(197, 159), QPoint(203, 159)})
        EXPECT_TRUE(inked(empty, barb.x(), barb.y())) << barb.x() << "," << barb.y();
    EXPECT_FALSE(inked(empty, 200, 30));
    EXPECT_FALSE(inked(empty, 200, 170));

    // A centred text leaves a gap of its width with "000" about N; the text itself stands
    // centred on N across the line.
    int w = 0, g = 0;
    {
        QImage probe = rendertest::whiteImage(4, 4);
        Canvas c(probe);
        c.setFontHeight(-12);
        w = c.textWidth("12");
        g = c.textWidth("12000");
    }
    ASSERT_GT(g, w + 6);
    const QImage centred = draw("12", -30);
    const int inGap = 100 - (w + g) / 4; // between the end of the text and the end of the gap
    EXPECT_FALSE(inked(centred, 200, inGap));
    EXPECT_FALSE(inked(centred, 200, 200 - inGap));
    EXPECT_TRUE(inked(centred, 200, 100 - g / 2 - 2));
    EXPECT_TRUE(inked(centred, 200, 100 + g / 2 + 2));
    // Not centred: the measure line runs through unbroken, the text beside it.
    const QImage beside = draw("12", 30);
    for (int y = 50; y <= 150; ++y)
        ASSERT_TRUE(inked(beside, 200, y)) << y;
}

TEST(KXDrawFigures, LeaderArrowheadsPointAlongTheLastPieceAndStartCirclesSitOnTheFirstPoint)
{
    // Arrow size 30 at 2 dots/mm: s = 6 dots, a head 18 long and 12 wide with its tip on the
    // last point. Two equal last points point the head to the left.
    struct Case {
        QPoint p, q;
        QPointF u; // the direction the head points in
    };
    const double r = std::sqrt(0.5);
    const Case cases[] = {
        {{100, 20}, {100, 150}, {0, 1}},  {{100, 180}, {100, 50}, {0, -1}}, {{20, 100}, {150, 100}, {1, 0}},
        {{180, 100}, {50, 100}, {-1, 0}}, {{20, 20}, {150, 150}, {r, r}},   {{100, 100}, {100, 100}, {-1, 0}},
    };
    for (const Case& k : cases) {
        Scene s(200, 200);
        setRows({{kRed, 1}});
        s.add(figure(2, {{k.p.x(), k.p.y()}, {k.q.x(), k.q.y()}}, 2));
        const QImage img = s.render(2.0);
        const QPointF q(k.q), n(-k.u.y(), k.u.x());
        for (double side : {0.7, -0.7}) {
            const QPoint wide = (q - 2.5 * 6 * k.u + side * 6 * n).toPoint();
            EXPECT_TRUE(inked(img, wide.x(), wide.y())) << k.q.x() << "," << k.q.y() << " side " << side;
        }
        const QPoint beyond = (q + 3 * k.u).toPoint();
        EXPECT_FALSE(inked(img, beyond.x(), beyond.y())) << k.q.x() << "," << k.q.y();
    }

    // Start circle: radius 6 in the figure colour; with its black rim 3 dots larger.
    for (int flags : {1, 1 | 4}) {
        Scene s(200, 200);
        setRows({{kRed, 1}});
        s.add(figure(2, {{100, 100}, {180, 100}}, flags));
        const QImage img = s.render(2.0);
        EXPECT_EQ(img.pixel(100, 104), qRgb(255, 0, 0)) << flags;
        EXPECT_EQ(inked(img, 100, 107), flags == 5) << flags;
        EXPECT_FALSE(inked(img, 100, 111)) << flags;
        if (flags == 5) {
            EXPECT_EQ(img.pixel(100, 91), qRgb(0, 0, 0));
        }
    }
}

TEST(KXDrawFigures, NamesCentreOnTheirPointByTheirLengthInTheFileEncoding)
{
    // Height 30 at 4 dots/mm: H = -12; "名前" is 4 bytes, so the text starts 12 dots left of
    // and 6 dots above the label point (its 6 bytes of UTF-8 would put it 18 dots left).
    Scene s(200, 200);
    setRows({{0, 1}});
    s.kx.SetDrawParams(-1, -1, -1, -1, -1, 1, -1, -1, -1.0, -1.0, -1.0, -1.0);
    TPRec f = figure(1, {{1000, 1000}, {1100, 1000}});
    f.name = "名前";
    f.labelX = 100;
    f.labelY = 100;
    s.add(f);
    const QRect box = inkBox(s.render(4.0));
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GE(box.left(), 88);
    EXPECT_LE(box.left(), 90);
    EXPECT_GE(box.top(), 94);
    EXPECT_LE(box.right(), 112);
}

TEST(KXDrawFigures, TextsTurnFromTheirFirstPointTowardsTheSecond)
{
    // Size 30 at 4 dots/mm in preview (no vertex mark): height -12, written from
    // (60, 110 - 12), 10 dots below the label point (60, 100) less the height.
    struct Case {
        TPoint second;
        QRect area; // where the ink may lie
        bool tall;
    };
    const Case cases[] = {
        {{160, 100}, QRect(60, 98, 40, 17), false}, // runs to the right
        {{60, 0}, QRect(60, 58, 17, 41), true},     // runs upwards, its tops to the left
        {{60, 200}, QRect(43, 98, 18, 41), true},   // runs downwards
        {{-40, 100}, QRect(20, 81, 41, 18), false}, // upside down to the left
    };
    for (const Case& k : cases) {
        Scene s(200, 200);
        setRows({{0, 1}});
        s.kx.SetDrawParams(-1, -1, 1, -1, -1, -1, -1, -1, 1.0, -1.0, -1.0, -1.0);
        TPRec t = figure(4, {{60, 100}, k.second});
        t.name = "WWW";
        t.startPt.x = 30;
        s.add(t);
        const QRect box = inkBox(s.render(4.0));
        ASSERT_FALSE(box.isEmpty()) << k.second.x << "," << k.second.y;
        EXPECT_TRUE(k.area.contains(box)) << k.second.x << "," << k.second.y << ": " << box.x() << ","
                                          << box.y() << " " << box.width() << "x" << box.height();
        EXPECT_EQ(box.height() > box.width(), k.tall) << k.second.x << "," << k.second.y;
    }
}
