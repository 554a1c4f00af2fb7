// Repaint of a 1920 x 1080 view of a 9400 x 13200 sheet with 5000 figures, at the view
// divisors of the workbench, against a bare copy of the same area from a ready 32-bit image.
// Every view is also drawn the plain way, with nothing skipped and none of the canvas's
// shortcuts, and the two must agree in every pixel.
// Arguments: the data folder; optionally a folder to save the views in (view-<divisor>.png);
// optionally one divisor whose repaint alone is repeated, for a profiler, and how often.
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "render/bitmap.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/kxdraw.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kSheetW = 9400;
constexpr int kSheetH = 13200;
constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

// Black line work on white, one bit: the edge map of the data folder tiled over the sheet,
// or a drawn grid when it is absent.
QImage makeSheet(const std::string& dataDir)
{
    QImage sheet(kSheetW, kSheetH, QImage::Format_Mono);
    sheet.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    sheet.fill(1);
    Bitmap loaded;
    if (imgLoadToBitmap(dataDir + "/paris-1926-sheet4-train-edges.png", loaded)) {
        const QImage edges = loaded.image().convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < kSheetH; ++y) {
            const uchar* src = edges.constScanLine(y % edges.height());
            uchar* dst = sheet.scanLine(y);
            for (int x = 0; x < kSheetW; ++x)
                if (src[x % edges.width()] >= 128) // white edges become black lines
                    dst[x >> 3] &= static_cast<uchar>(~(0x80 >> (x & 7)));
        }
        std::printf("sheet: %s tiled to %d x %d\n", "paris-1926-sheet4-train-edges.png", kSheetW, kSheetH);
    } else {
        for (int y = 0; y < kSheetH; y += 97)
            for (int x = 0; x < kSheetW; ++x)
                sheet.setPixel(x, y, 0);
        std::printf("sheet: drawn grid %d x %d (data folder absent)\n", kSheetW, kSheetH);
    }
    return sheet;
}

void addFigures(PData& store)
{
    QRandomGenerator rng(7);
    const char* names[] = {"123-4", "宅地", "道路", "A-12"};
    for (int i = 0; i < 5000; ++i) {
        TPRec f;
        const int pick = i % 10;
        f.kind = pick < 5 ? 0 : pick < 8 ? 1 : pick == 8 ? 4 : 2;
        f.layerIndex = rng.bounded(4);
        f.flags = f.kind == 0 ? 1 : f.kind == 2 ? 3 : 0;
        const int cx = rng.bounded(kSheetW), cy = rng.bounded(kSheetH);
        const int n = f.kind == 0 ? 4 + rng.bounded(8) : f.kind == 1 ? 3 + rng.bounded(6) : 2;
        for (int k = 0; k < n; ++k)
            f.pts.push_back({cx + rng.bounded(-250, 250), cy + rng.bounded(-250, 250)});
        f.nPts = n;
        f.name = names[i % 4];
        f.startPt = {30, 0};
        f.labelX = cx;
        f.labelY = cy;
        store.PD_AddPoly(0, f);
    }
}

// The median of `runs` timed calls: other work on the machine only lengthens some of them.
double msPerRun(int runs, const std::function<void()>& body)
{
    body(); // warm: the display copies are made here
    body();
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        body();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::nth_element(ms.begin(), ms.begin() + runs / 2, ms.end());
    return ms[static_cast<std::size_t>(runs / 2)];
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const std::string dataDir = argc > 1 ? argv[1] : "../shared/data";
    const std::string saveDir = argc > 2 ? argv[2] : "";
    const int profileDiv = argc > 3 ? std::atoi(argv[3]) : 0;
    const int profileRuns = argc > 4 ? std::max(1, std::atoi(argv[4])) : 500;

    Bitmap raster(makeSheet(dataDir), pf1bit);
    Bitmap half, quarter;
    imgResizeRefine1Bit(raster.width() / 2, raster.height() / 2, raster, half);
    imgResizeRefine1Bit(raster.width() / 4, raster.height() / 4, raster, quarter);

    layTblCreate(1);
    TLayer& rows = *layTblGet(0)->layer;
    const std::pair<TColor, int> attrs[] = {{0x0000FF, 2}, {0x00A000, 101}, {0xFF0000, 3}, {0x800080, 301}};
    for (int i = 0; i < 4; ++i) {
        TLayerRec r;
        r.code = i + 1;
        r.color = attrs[i].first;
        r.lineCode = attrs[i].second;
        rows.layerAdd(r);
    }
    for (auto [slot, v] : {std::pair{kxTextSize, 30}, {kxSArrowSize, 30}, {kxEArrowSize, 30}})
        cfgSetInt(slot, v);
    PData store;
    addFigures(store);

    KXDraw kx;
    kx.rasterBmp = &raster;
    kx.halfBmp = &half;
    kx.quarterBmp = &quarter;
    kx.pdata[0] = &store;
    kx.layerCount = 1;

    std::printf("%-8s %10s %12s %10s %8s %13s %10s\n", "divisor", "Draw ms", "raster ms", "bare ms",
                "ratio", "raster ratio", "same");
    QImage view(kViewW, kViewH, QImage::Format_RGB32);
    bool failed = false;
    for (int div : {1, 2, 4, 8}) {
        if (profileDiv != 0 && div != profileDiv)
            continue;
        kx.SetDrawParams(1, 3, 0, 1, 1, 1, 1, 1, 1.0, div, div, 1.0);
        const double dpm = 400 * 0.03937007874015748 / div;
        const int boxW = kSheetW / div, boxH = kSheetH / div;
        // The view scrolled to the middle of the sheet (all of it at divisor 8).
        const int sx = std::max(0, (boxW - kViewW) / 2), sy = std::max(0, (boxH - kViewH) / 2);
        const QRect visible(sx, sy, kViewW, kViewH);
        auto paint = [&](QImage& out, const QRect& shown) {
            QPainter p(&out);
            p.translate(-sx, -sy);
            p.setClipRect(visible);
            Canvas c(p, 96, shown);
            kx.Draw(&c, boxW, boxH, dpm);
        };
        auto repaint = [&] { paint(view, visible); };
        if (profileDiv != 0) {
            msPerRun(profileRuns, repaint);
            continue;
        }
        kx.layerCount = 0; // the background passes alone
        const double rasterOnly = msPerRun(31, repaint);
        kx.layerCount = 1;
        const double draw = msPerRun(31, repaint);
        // The view once more on white, and the same view drawn the plain way: every figure
        // drawn, none skipped as invisible, no shortcuts (figures may reach past the
        // drawing's area, where no raster is).
        view.fill(Qt::white);
        repaint();
        QImage everything(kViewW, kViewH, QImage::Format_RGB32);
        everything.fill(Qt::white);
        canvasUseShortcuts(false);
        paint(everything, QRect(-(1 << 24), -(1 << 24), 1 << 25, 1 << 25));
        canvasUseShortcuts(true);
        const bool same = everything == view;
        if (!saveDir.empty())
            view.save(QString::fromStdString(saveDir + "/view-" + std::to_string(div) + ".png"));
        const Bitmap* shown = div == 1 ? &raster : div == 2 ? &half : &quarter;
        QImage ready = shown->image().copy(div == 8 ? QRect(0, 0, kViewW, kViewH) : visible)
                           .convertToFormat(QImage::Format_RGB32);
        const double bare = msPerRun(31, [&] {
            QPainter p(&view);
            p.drawImage(0, 0, ready);
        });
        std::printf("%-8d %10.2f %12.2f %10.2f %8.1f %13.1f %10s\n", div, draw, rasterOnly, bare,
                    draw / bare, rasterOnly / bare, same ? "yes" : "NO");
        if (!same)
            failed = true;
    }
    return failed ? 1 : 0;
}
