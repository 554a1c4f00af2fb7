// A full print of an A0 sheet through the print form, against KXDraw::Draw of the same page
// into a 32-bit image. The sheet: one bit, 13200 x 18700 (400 dpi, 1:500), the line work of the
// data folder tiled over it, 5000 figures; the print: "9 A0縦" at 1:500 (drawn at 1:501, a
// divisor of 1.002) to a 400 dpi PDF. Run once per mode, each in its own process:
//   bench_print pdf   DATA_DIR OUT.pdf
//   bench_print image DATA_DIR
// Prints the time of the page and the peak resident memory above the loaded drawing.
#include "benchsheet.h"
#include "model/startup.h"
#include "platform/ui.h"
#include "render/canvas.h"
#include "render/frmprint.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

constexpr int kSheetW = 13200;
constexpr int kSheetH = 18700;
constexpr int kDpi = 400;
constexpr int kScale = 500;

// kB of a field of /proc/self/status.
long statusKb(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const size_t n = std::strlen(field);
    while (std::getline(in, line))
        if (line.compare(0, n, field) == 0)
            return std::stol(line.substr(n + 1));
    return -1;
}

// Starts the peak (VmHWM) afresh at the current resident size.
void resetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "pdf") != 0 && std::strcmp(argv[1], "image") != 0) ||
        (std::strcmp(argv[1], "pdf") == 0 && argc < 4)) {
        std::fprintf(stderr, "usage: bench_print pdf DATA_DIR OUT.pdf | bench_print image DATA_DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    ui::useScripted();
    aplSetKind(akColouring);
    const bool pdf = std::strcmp(argv[1], "pdf") == 0;

    // The shared sheet's line work, attribute rows and figure mix at A0 size.
    benchsheet::Sheet sheet(argv[2], kSheetW, kSheetH);
    KXDraw& kx = sheet.kx;
    for (auto [slot, v] : {std::pair{kxPaperSize, 9}, {kxSCALE, kScale}, {kxHRSize, 1}, {kxBB_Paper, 2},
                           {kxBB_Scale, 500}})
        cfgSetInt(slot, v);
    // As the raster picker opens a drawing for printing.
    kx.SetDrawParams(1, 3, 1, 1, 1, 0, 0, 1, 1.0, 1.0, 1.0, 1.0);
    kx.SetPrintLayout(0, 0, 0, -1, -1, -1);
    printSetSource(&kx, kDpi, kScale);

    const double dpm = kDpi * 0.039370078740157482516;
    const int pageW = static_cast<int>(840 * dpm), pageH = static_cast<int>(1188 * dpm);
    double ms = 0;
    long baseKb = 0, peakKb = 0;
    if (pdf) {
        printSetTestOutput(QPageSize(QPageSize::A0), QPageLayout::Portrait, argv[3], kDpi, QMarginsF(5, 5, 5, 5));
        TFrm_Print form;
        form.CB_Paper->setCurrentIndex(9);
        baseKb = statusKb("VmRSS:");
        resetPeak();
        ui::scriptAnswer(ui::Answer::Yes);
        QElapsedTimer t;
        t.start();
        form.Btn_PrintClick();
        ms = t.nsecsElapsed() / 1e6;
        peakKb = statusKb("VmHWM:");
        std::printf("pdf    divisor %.6g page %d x %d: %.0f ms, peak above loaded %.1f MB\n", kx.divisor, pageW,
                    pageH, ms, (peakKb - baseKb) / 1024.0);
    } else {
        kx.SetDrawParams(1, -1, 2, -1, -1, -1, -1, 1, (kScale + 1.0) / kScale, kDpi * ((kScale + 1.0) / kScale) / kDpi,
                         1.0, 1.0);
        kx.SetPrintLayout(0, 0, 1, -1, -1, -1);
        baseKb = statusKb("VmRSS:");
        resetPeak();
        QElapsedTimer t;
        t.start();
        QImage page(pageW, pageH, QImage::Format_RGB32);
        page.fill(Qt::white);
        {
            QPainter p(&page);
            Canvas c(p, kDpi);
            kx.Draw(&c, pageW, pageH, dpm);
        }
        ms = t.nsecsElapsed() / 1e6;
        peakKb = statusKb("VmHWM:");
        std::printf("image  divisor %.6g page %d x %d: %.0f ms, peak above loaded %.1f MB (32-bit page %.1f MB)\n",
                    kx.divisor, pageW, pageH, ms, (peakKb - baseKb) / 1024.0, page.sizeInBytes() / 1048576.0);
    }
    return 0;
}
