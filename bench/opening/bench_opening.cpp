// Opening a sheet in the workbench: traceAnalyseInfo with the sheet's RVL and ZKI files, then
// the workbench form opened on it and shown until its sheet view has painted once; against
// the load of the raster with its half and quarter reductions alone (what an opening did
// before it read anything else). Runs alternate, load then opening, so that what the other
// work on the machine costs falls on both alike. Reported: the median and the spread (lowest,
// highest) of each, the ratio of the medians and the median of the ratios of the pairs.
// Target: opening at most 1.3 times the load.
// The RVL file is made once by the vectoriser from the raster's work image when it is
// missing, the ZKI file from the drawing benchmarks' 5000 figures.
// Usage: bench_opening RASTER [PAIRS]   (RVL and ZKI beside the raster)
#include "benchsheet.h"
#include "model/imgdef.h"
#include "model/tracegrid.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "quillan.h"
#include "render/paintboxex.h"
#include "workbench/frmkxinput.h"
#include "workbench/traceanalyse.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace benchsheet;

int quiet(const char*, va_list) { return 0; }

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

double msSince(const QElapsedTimer& t) { return static_cast<double>(t.nsecsElapsed()) / 1e6; }

// Counts the paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(o, e);
    }
};

struct Spread {
    double median, low, high;
};

Spread spread(const std::vector<double>& v)
{
    return {benchsheet::median(v), *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end())};
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ui::useScripted();
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RASTER [PAIRS]\n", argv[0]);
        return 2;
    }
    const std::string raster = QFileInfo(argv[1]).absoluteFilePath().toStdString();
    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const std::string rvl = pathChangeExt(raster, "RVL"), zki = pathChangeExt(raster, "ZKI");
    setUpLayers();

    int w = 0, h = 0;
    if (!imgGetFileSize(raster, w, h)) {
        std::printf("cannot read %s\n", raster.c_str());
        return 1;
    }
    if (!exists(rvl)) {
        const std::string work = pathChangeExt(raster, "TMP");
        QElapsedTimer t;
        t.start();
        RV_SetCallBack(quiet, quiet, quiet);
        if (!imgConvertTo1BitBmp(raster, work, 128) || !quillanourCnv(work.c_str(), 0, rvl.c_str(), 1.4143, -1.0)) {
            std::printf("cannot make the line work %s\n", rvl.c_str());
            return 1;
        }
        std::remove(work.c_str());
        std::printf("line work vectorised in %.1f s\n", msSince(t) / 1000);
    }
    if (!exists(zki)) {
        PData figures;
        addFigures(figures, w, h);
        figures.PD_SaveFile(zki);
    }

    auto load = [&] {
        Bitmap r, half, quarter;
        imgLoadToBitmap(raster, r);
        imgResizeForView(r.width() / 2, r.height() / 2, r, half);
        imgResizeForView(r.width() / 4, r.height() / 4, r, quarter);
    };
    double analysed = 0, formed = 0;
    int segments = 0, figures = 0;
    auto open = [&] {
        PData store;
        KXDraw drawing;
        drawing.imgDef->imagePath = raster;
        drawing.imgDef->dpi = 400;
        drawing.imgDef->scale = 500;
        drawing.rvlPath = rvl;
        drawing.zkiPath[0] = zki;
        drawing.pdata[0] = &store;
        drawing.layerCount = 1;
        QElapsedTimer t;
        t.start();
        traceAnalyseInfo(&drawing, 1);
        analysed = msSince(t);
        {
            TFrm_KXInput form;
            PaintCounter counter;
            form.PaintBoxEx1->installEventFilter(&counter);
            form.openOn(&drawing);
            formed = msSince(t);
            form.resize(1920, 1080);
            form.show();
            while (counter.paints == 0 && t.elapsed() < 60000)
                QApplication::processEvents();
            segments = polyGetSegCount();
            figures = store.PD_GetCount();
            form.hide();
        }
        inputFreeWorkBitmaps(&drawing);
    };

    load(); // warm: the file in the page cache, the code paged in
    open();
    std::vector<double> loads, opens, ratios, analyses, forms;
    for (int i = 0; i < pairs; ++i) {
        QElapsedTimer t;
        t.start();
        load();
        loads.push_back(msSince(t));
        t.start();
        open();
        opens.push_back(msSince(t));
        ratios.push_back(opens.back() / loads.back());
        analyses.push_back(analysed);
        forms.push_back(formed - analysed);
    }
    const Spread l = spread(loads), o = spread(opens), r = spread(ratios), a = spread(analyses), f = spread(forms);
    std::printf("sheet %s: %d x %d, %d segments, %d figures; %d alternating pairs\n",
                QFileInfo(argv[1]).fileName().toStdString().c_str(), w, h, segments, figures, pairs);
    std::printf("  load + half + quarter  %7.1f ms (%.1f - %.1f)\n", l.median, l.low, l.high);
    std::printf("  opening                %7.1f ms (%.1f - %.1f)\n", o.median, o.low, o.high);
    std::printf("    of it trace analysis %7.1f ms (%.1f - %.1f), form %.1f ms (%.1f - %.1f)\n", a.median, a.low,
                a.high, f.median, f.low, f.high);
    std::printf("  ratio of medians %.2f; ratio per pair: median %.2f (%.2f - %.2f); target <= 1.3\n",
                o.median / l.median, r.median, r.low, r.high);
    return o.median / l.median <= 1.3 ? 0 : 1;
}
