// The workbench's sheet view painted from its kept picture, on the A1 sheet with 5000 figures
// of bench/render, at the view divisors 1, 2, 4 and 8, against a bare drawImage of the shown
// part of a 1920 x 1080 view in the same run: an unchanged repaint, 100-pixel scrolls (a walk
// right and down, bouncing at the edges) and the edit of one figure in view (moved, with its
// old and new area invalidated), each followed by a repaint of the whole view. After every step
// the view is compared with a full Draw of it; any differing pixel fails the run.
// The bare copy is timed right before every step (same load, same cold caches as the step)
// and, for reference, back to back from warm caches as bench/render does.
// Arguments: the data folder; optionally one divisor to run alone (negative: without the
// comparisons, for a profiler).
#include "benchsheet.h"
#include "render/canvas.h"
#include "workbench/keptpicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace benchsheet;

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

double elapsedMs(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

double mean(const std::vector<double>& v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0 : s / static_cast<double>(v.size());
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    Sheet sheet(argc > 1 ? argv[1] : "../shared/data");
    KXDraw& kx = sheet.kx;
    PData& store = sheet.store;

    std::printf("%-4s %8s %9s %9s %7s %9s %7s %9s %9s %7s %8s %8s %5s\n", "div", "bare ms", "first ms",
                "repaint", "ratio", "scroll", "ratio", "(mean)", "edit", "ratio", "MiB kept", "steps",
                "same");
    bool failed = false;
    const int only = argc > 2 ? std::atoi(argv[2]) : 0; // one divisor alone, for a profiler
    for (int div : {1, 2, 4, 8}) {
        if (only != 0 && div != std::abs(only))
            continue;
        kx.SetDrawParams(1, 3, 0, 1, 1, 1, 0, 1, 1.0, div, div, 1.0);
        const double dpm = 400 * 0.03937007874015748 / div;
        const QSize box(kSheetW / div, kSheetH / div);
        const QSize shownSize(std::min(kViewW, box.width()), std::min(kViewH, box.height()));
        QRect visible(QPoint(std::max(0, (box.width() - kViewW) / 2), std::max(0, (box.height() - kViewH) / 2)),
                      shownSize);

        KeptPicture kept;
        kept.setView(&kx, box, dpm);
        QImage screen(shownSize, QImage::Format_RGB32);
        QImage reference(shownSize, QImage::Format_RGB32);
        auto paint = [&] {
            QPainter p(&screen);
            p.translate(-visible.topLeft());
            kept.paint(p, visible, visible);
        };
        int steps = 0;
        const bool unchecked = only < 0; // for a profiler: no comparisons
        auto check = [&](const char* what) {
            ++steps;
            if (unchecked)
                return;
            // On a device larger than the view, as the paint box is: Qt's stroker cuts wide lines
            // where they leave the device, which moves dots near its edges.
            constexpr int M = 64;
            QImage big(shownSize + QSize(2 * M, 2 * M), QImage::Format_RGB32);
            big.fill(Qt::white);
            {
                QPainter p(&big);
                p.translate(-visible.topLeft() + QPoint(M, M));
                p.setClipRect(visible);
                Canvas c(p, 96, visible);
                kx.Draw(&c, box.width(), box.height(), dpm);
            }
            reference = big.copy(M, M, shownSize.width(), shownSize.height());
            if (reference != screen) {
                std::printf("divisor %d: %s differs from a full Draw at (%d, %d)\n", div, what, visible.x(),
                            visible.y());
                failed = true;
            }
        };

        screen.fill(Qt::white);
        QElapsedTimer t;
        t.start();
        paint();
        const double first = elapsedMs(t);
        check("first paint");

        // The bare copy of the view from a ready image, timed next to every step so that other
        // work on the machine weighs on both alike.
        QImage ready(kViewW, kViewH, QImage::Format_RGB32);
        ready.fill(Qt::white);
        QPainter(&ready).drawImage(0, 0, screen);
        QImage bareScreen(kViewW, kViewH, QImage::Format_RGB32);
        std::vector<double> bares;
        auto timeBare = [&] {
            t.start();
            QPainter p(&bareScreen);
            p.drawImage(0, 0, ready);
            p.end();
            bares.push_back(elapsedMs(t));
        };
        for (int i = 0; i < 5; ++i)
            timeBare();
        // And back to back, from warm caches, as bench/render times it: the stricter yardstick.
        const double hot = msPerRun(31, [&] {
            QPainter p(&bareScreen);
            p.drawImage(0, 0, ready);
        });

        std::vector<double> repaints;
        for (int i = 0; i < 31; ++i) {
            timeBare();
            t.start();
            paint();
            repaints.push_back(elapsedMs(t));
        }
        check("unchanged repaint");

        // 100-pixel scrolls: right, down, right, down ..., each turned back at an edge.
        std::vector<double> scroll;
        int sx = 100, sy = 100;
        for (int i = 0; i < 40; ++i) {
            QPoint to = visible.topLeft();
            if (i % 2 == 0) {
                if (to.x() + sx < 0 || to.x() + sx + shownSize.width() > box.width())
                    sx = -sx;
                to.rx() += sx;
            } else {
                if (to.y() + sy < 0 || to.y() + sy + shownSize.height() > box.height())
                    sy = -sy;
                to.ry() += sy;
            }
            to.setX(std::clamp(to.x(), 0, box.width() - shownSize.width()));
            to.setY(std::clamp(to.y(), 0, box.height() - shownSize.height()));
            timeBare();
            t.start();
            visible.moveTo(to);
            paint();
            scroll.push_back(elapsedMs(t));
            check("scroll");
        }

        // One figure in view moved by 30 x 20 raster pixels, as the point move does it.
        std::vector<double> edit;
        QRandomGenerator rng(3);
        for (int i = 0; i < 31; ++i) {
            int index = -1;
            for (int tries = 0; tries < 10000 && index < 0; ++tries) {
                const int k = rng.bounded(store.PD_GetCount());
                const TPRec* f = store.PD_GetPolyPtr(k);
                if (visible.contains(QPoint(f->labelX / div, f->labelY / div)))
                    index = k;
            }
            if (index < 0)
                break;
            TPRec* f = store.PD_GetPolyPtr(index);
            timeBare();
            t.start();
            const TPRec before = *f;
            for (int k = 0; k < f->nPts; ++k) {
                f->pts[static_cast<std::size_t>(k)].x += 30;
                f->pts[static_cast<std::size_t>(k)].y += 20;
            }
            f->labelX += 30;
            f->labelY += 20;
            kept.invalidateFigure(0, before);
            kept.invalidateFigure(0, *f);
            paint();
            edit.push_back(elapsedMs(t));
            check("edit");
        }

        const double kept_mib = static_cast<double>(kept.window().width()) * kept.window().height() * 4 / (1 << 20);
        const double sc = median(scroll), ed = median(edit), bare = median(bares), repaint = median(repaints);
        std::printf("%-4d %8.3f %9.2f %9.3f %7.2f %9.3f %7.2f %9.3f %9.3f %7.2f %8.1f %8d %5s\n", div, bare,
                    first, repaint, repaint / bare, sc, sc / bare, mean(scroll), ed, ed / bare, kept_mib, steps,
                    failed ? "NO" : "yes");
        std::printf("     against the back-to-back copy (%.3f ms): repaint %.2f, scroll %.2f (mean %.2f), edit %.2f\n",
                    hot, repaint / hot, sc / hot, mean(scroll) / hot, ed / hot);
    }
    std::printf("targets: repaint <= 2, scroll <= 5, edit <= 10 (ratios of medians to the bare copy)\n");
    return failed ? 1 : 0;
}
