// The workbench's sheet view painted from its kept picture, on the A1 sheet with 5000 figures
// of bench/render, at the view divisors 1, 2, 4 and 8, against a bare drawImage of the shown
// part of a 1920 x 1080 view in the same run: 100-pixel scrolls (a walk right and down,
// bouncing at the edges) with the pause of an operator's scrolling between them, handed to the
// event loop, where the picture renders ahead of the view; the first scroll after opening
// comes after one such pause. Then an unchanged repaint and the edit of one figure in view
// (moved, with its old and new area invalidated), each followed by a repaint of the whole
// view. Every scroll's ratio to the bare copy timed right before it is reported with its
// median, 90th and 99th percentiles and the worst. After every step the view is compared with a
// full Draw of it, and at the end all the picture holds; any differing pixel fails the run.
// The bare copy is also timed back to back from warm caches, as bench/render does.
// "rendered" counts the scrolls whose paint had to render part of the view itself. The same
// ratios in this thread's processor time follow, which the load of others on the machine
// leaves out.
// Arguments: the data folder; optionally one divisor to run alone (0: all; negative: without
// the comparisons, for a profiler); the pause between scrolls in ms (default 30); the pause
// after opening (default: the same).
#include "benchsheet.h"
#include "render/canvas.h"
#include "workbench/keptpicture.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

using namespace benchsheet;

constexpr int kViewW = 1920;
constexpr int kViewH = 1080;

double elapsedMs(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// This thread's processor time: what the step itself cost, without the time other work on the
// machine took the processor away from it.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// The value below which the fraction q of the list lies (nearest rank).
double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(v.size())));
    return v[std::clamp<std::size_t>(rank, 1, v.size()) - 1];
}

// The event loop for `ms`, as between two steps of an operator's scrolling.
void pause(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    Sheet sheet(argc > 1 ? argv[1] : "../shared/data");
    KXDraw& kx = sheet.kx;
    PData& store = sheet.store;

    const int only = argc > 2 ? std::atoi(argv[2]) : 0; // one divisor alone, for a profiler
    const int pauseMs = argc > 3 ? std::atoi(argv[3]) : 30;
    const int openPauseMs = argc > 4 ? std::atoi(argv[4]) : pauseMs;
    std::printf("pause in the event loop: %d ms after opening, %d ms between scrolls\n", openPauseMs, pauseMs);
    std::printf("%-4s %7s %8s | %7s %7s %7s %7s %7s %7s | %7s %7s %7s %8s %5s\n", "div", "bare ms", "open ms",
                "1st scr", "p50", "p90", "p99", "worst", "mean", "repaint", "edit", "MiB", "rendered", "same");
    bool failed = false;
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
        auto paint = [&] {
            QPainter p(&screen);
            p.translate(-visible.topLeft());
            kept.paint(p, visible, visible);
        };
        const bool unchecked = only < 0; // for a profiler: no comparisons
        // On a device larger than the area, as the paint box is: Qt's stroker cuts wide lines
        // where they leave the device, which moves dots near its edges.
        auto fullDraw = [&](const QRect& area) {
            constexpr int M = 64;
            QImage big(area.size() + QSize(2 * M, 2 * M), QImage::Format_RGB32);
            big.fill(Qt::white);
            {
                QPainter p(&big);
                p.translate(-area.topLeft() + QPoint(M, M));
                p.setClipRect(area);
                Canvas c(p, 96, area);
                kx.Draw(&c, box.width(), box.height(), dpm);
            }
            return big.copy(M, M, area.width(), area.height());
        };
        auto check = [&](const char* what) {
            if (unchecked)
                return;
            if (fullDraw(visible) != screen) {
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
        double bareCpu = 0;
        auto timeBare = [&] {
            const double c = cpuMs();
            t.start();
            QPainter p(&bareScreen);
            p.drawImage(0, 0, ready);
            p.end();
            bares.push_back(elapsedMs(t));
            bareCpu = cpuMs() - c;
            return bares.back();
        };
        // And back to back, from warm caches, as bench/render times it: the stricter yardstick.
        const double hot = msPerRun(31, [&] {
            QPainter p(&bareScreen);
            p.drawImage(0, 0, ready);
        });

        // 100-pixel scrolls: right, down, right, down ..., each turned back at an edge, with an
        // operator's pause in the event loop before each; the first comes after opening.
        std::vector<double> ratios, cpuRatios;
        double scrollMs = 0;
        int rendering = 0; // scrolls whose paint had to render something
        int sx = 100, sy = 100;
        for (int i = 0; i < 60; ++i) {
            pause(i == 0 ? openPauseMs : pauseMs);
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
            const double bare = timeBare();
            const double bareCpuMs = bareCpu;
            const QRegion before = kept.validRegion();
            const double c = cpuMs();
            t.start();
            visible.moveTo(to);
            paint();
            const double ms = elapsedMs(t);
            cpuRatios.push_back((cpuMs() - c) / bareCpuMs);
            scrollMs += ms;
            ratios.push_back(ms / bare);
            if (!(kept.validRegion() - before).isEmpty())
                ++rendering;
            check("scroll");
        }
        pause(pauseMs);
        if (!unchecked) {
            // All the picture holds, rendered by the paints and from idle time.
            const QRect area = kept.window().intersected(QRect(QPoint(0, 0), box));
            QImage held(area.size(), QImage::Format_RGB32);
            {
                QPainter p(&held);
                p.translate(-area.topLeft());
                kept.paint(p, area, visible);
            }
            if (held != fullDraw(area)) {
                std::printf("divisor %d: the picture held differs from a full Draw\n", div);
                failed = true;
            }
        }

        std::vector<double> repaints;
        for (int i = 0; i < 31; ++i) {
            const double bare = timeBare();
            t.start();
            paint();
            repaints.push_back(elapsedMs(t) / bare);
        }
        check("unchanged repaint");

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
            const double bare = timeBare();
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
            edit.push_back(elapsedMs(t) / bare);
            check("edit");
        }

        const double kept_mib = static_cast<double>(kept.window().width()) * kept.window().height() * 4 / (1 << 20);
        const double bare = median(bares);
        std::printf("%-4d %7.3f %8.2f | %7.2f %7.2f %7.2f %7.2f %7.2f %7.2f | %7.2f %7.2f %7.1f %5d/%-2zu %5s\n", div,
                    bare, first, ratios.front(), percentile(ratios, 0.5), percentile(ratios, 0.9),
                    percentile(ratios, 0.99), percentile(ratios, 1.0),
                    scrollMs / static_cast<double>(ratios.size()) / bare, median(repaints), median(edit), kept_mib,
                    rendering, ratios.size(), failed ? "NO" : "yes");
        std::printf("     processor time: %7.2f %7.2f %7.2f %7.2f %7.2f  (1st, p50, p90, p99, worst)\n",
                    cpuRatios.front(), percentile(cpuRatios, 0.5), percentile(cpuRatios, 0.9),
                    percentile(cpuRatios, 0.99), percentile(cpuRatios, 1.0));
        std::printf("     back-to-back copy %.3f ms: worst scroll %.2f of it\n", hot,
                    percentile(ratios, 1.0) * bare / hot);
    }
    std::printf("ratios to the bare copy timed before each step; targets: every scroll <= 5, repaint <= 2, "
                "edit <= 10 (medians)\n");
    return failed ? 1 : 0;
}
