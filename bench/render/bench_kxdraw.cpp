// Repaint of a 1920 x 1080 view of a 9400 x 13200 sheet with 5000 figures, at the view
// divisors of the workbench, against a bare copy of the same area from a ready 32-bit image.
// Every view is also drawn the plain way, with nothing skipped and none of the canvas's
// shortcuts, and the two must agree in every pixel.
// Arguments: the data folder; optionally a folder to save the views in (view-<divisor>.png);
// optionally one divisor whose repaint alone is repeated, for a profiler, and how often.
#include "benchsheet.h"
#include "render/canvas.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using namespace benchsheet;

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const std::string dataDir = argc > 1 ? argv[1] : "../shared/data";
    const std::string saveDir = argc > 2 ? argv[2] : "";
    const int profileDiv = argc > 3 ? std::atoi(argv[3]) : 0;
    const int profileRuns = argc > 4 ? std::max(1, std::atoi(argv[4])) : 500;

    Sheet sheet(dataDir);
    KXDraw& kx = sheet.kx;
    const Bitmap& raster = sheet.raster;
    const Bitmap& half = sheet.half;
    const Bitmap& quarter = sheet.quarter;

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
