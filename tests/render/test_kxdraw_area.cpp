// The area a figure covers on the device: every dot the figure draws lies inside it, and a Draw
// clipped to any part of the device skips only figures that draw nothing there.
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "render/canvas.h"
#include "render/kxdraw.h"

#include <QPainter>

#include "renderapp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using rendertest::app;

TPRec figure(int kind, std::vector<TPoint> pts, int flags, const std::string& name, TPoint start = {30, 0})
{
    TPRec f;
    f.kind = kind;
    f.flags = flags;
    f.pts = std::move(pts);
    f.nPts = static_cast<int>(f.pts.size());
    f.name = name;
    f.startPt = start;
    f.labelX = f.pts[0].x + 5;
    f.labelY = f.pts[0].y + 3;
    return f;
}

// One layer with a wide solid row and a wide dash-dot row.
void setRows()
{
    layTblCreate(1);
    TLayer& list = *layTblGet(0)->layer;
    TLayerRec solid;
    solid.code = 1;
    solid.color = 0x0000FF;
    solid.lineCode = 5;
    list.layerAdd(solid);
    TLayerRec dashed = solid;
    dashed.code = 2;
    dashed.color = 0x008000;
    dashed.lineCode = 303;
    list.layerAdd(dashed);
    cfgSetInt(kxTextSize, 40);
    cfgSetInt(kxSArrowSize, 30);
    cfgSetInt(kxEArrowSize, 30);
}

QImage drawAlone(KXDraw& kx, int w, int h, double dpm)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    Canvas c(img, 96);
    kx.Draw(&c, w, h, dpm);
    return img;
}

QRect inkBox(const QImage& img)
{
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != qRgb(255, 255, 255))
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

struct Case {
    const char* what;
    TPRec f;
};

std::vector<Case> cases()
{
    const std::vector<TPoint> ring = {{400, 400}, {700, 420}, {650, 640}, {420, 600}};
    return {
        {"filled polygon with its name", figure(0, ring, 1, "宅地123")},
        {"dashed polyline", [&] {
             TPRec f = figure(1, {{300, 300}, {900, 350}, {880, 700}}, 0, "道路");
             f.layerIndex = 1;
             return f;
         }()},
        {"leader with both marks and rims", figure(2, {{500, 500}, {800, 760}}, 15, "A-1")},
        {"leader pointing left", figure(3, {{800, 500}, {420, 520}}, 3, "A-2")},
        {"large text", figure(4, {{500, 600}, {900, 600}}, 0, "テキストの例", {80, 0})},
        {"rotated text", figure(4, {{600, 600}, {500, 400}}, 0, "斜め", {60, 0})},
        {"filled circle", figure(5, {{600, 600}, {760, 660}}, 1, "円")},
        {"callout, centred text", figure(6, {{400, 400}, {800, 420}, {780, 560}}, 0, "12.50", {40, -40})},
        {"callout, text on the line", figure(6, {{800, 700}, {450, 500}, {430, 760}}, 0, "3.00", {40, 30})},
        {"lot polygon without points' name", figure(10, ring, 0, "")},
        {"polyline named in wide letters", figure(1, {{600, 300}, {610, 320}}, 0, "WMW@mW")},
        {"leader without marks, named", figure(2, {{500, 500}, {505, 520}}, 0, "ＷＷ道")},
    };
}

// Each kind at every divisor, in screen mode with the sizes by ratio and in print preview:
// the area holds every dot of the figure.
TEST(KXDrawArea, HoldsEveryDotTheFigureDraws)
{
    app();
    setRows();
    for (const Case& c : cases())
        for (double div : {1.0, 2.0, 4.0, 8.0})
            for (int mode : {0, 1}) {
                PData store;
                store.PD_AddPoly(0, c.f);
                KXDraw kx;
                kx.pdata[0] = &store;
                kx.layerCount = 1;
                kx.SetDrawParams(0, 3, mode, 2, 0, 1, 1, 1, mode ? 2.0 : 1.0, div, 1.0, 1.0);
                kx.SetPrintLayout(3, 2, 0, 0, 0, 0);
                const double dpm = 400 * 0.03937007874015748 / div;
                const QImage img = drawAlone(kx, 1400, 1200, dpm);
                const QRect ink = inkBox(img);
                ASSERT_FALSE(ink.isEmpty()) << c.what;
                const QRect area = kx.FigureArea(0, store.recs[0], dpm);
                EXPECT_TRUE(area.contains(ink)) << c.what << " at 1/" << div << " mode " << mode << ": ink "
                                                << ink.x() << "," << ink.y() << " " << ink.width() << "x"
                                                << ink.height() << " outside area " << area.x() << ","
                                                << area.y() << " " << area.width() << "x" << area.height();
            }
}

// Draw clipped to pieces of the device (the way a kept picture renders them) gives each piece
// exactly as a whole Draw gives it.
TEST(KXDrawArea, PiecesDrawAsTheWhole)
{
    app();
    setRows();
    PData store;
    for (const Case& c : cases())
        store.PD_AddPoly(0, c.f);
    KXDraw kx;
    kx.pdata[0] = &store;
    kx.layerCount = 1;
    kx.SetDrawParams(0, 3, 0, 1, 0, 1, 0, 1, 1.0, 1.0, 1.0, 1.0);
    const double dpm = 400 * 0.03937007874015748;
    const QImage whole = drawAlone(kx, 1200, 1000, dpm);
    for (const QRect piece : {QRect(0, 0, 1200, 1000), QRect(480, 470, 37, 41), QRect(620, 300, 300, 9),
                              QRect(0, 590, 1200, 20), QRect(700, 0, 13, 1000)}) {
        // A margin around the piece keeps the device's edges, where Qt's stroker cuts wide
        // lines, away from it.
        constexpr int m = 64;
        QImage out(piece.size() + QSize(2 * m, 2 * m), QImage::Format_RGB32);
        out.fill(Qt::white);
        {
            QPainter p(&out);
            p.translate(QPoint(m, m) - piece.topLeft());
            p.setClipRect(piece);
            Canvas c(p, 96, piece);
            kx.Draw(&c, 1200, 1000, dpm);
        }
        EXPECT_EQ(out.copy(m, m, piece.width(), piece.height()), whole.copy(piece)) << piece.x() << "," << piece.y() << " " << piece.width() << "x"
                                          << piece.height();
    }
}

} // namespace
