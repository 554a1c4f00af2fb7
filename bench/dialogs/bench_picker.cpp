// Times "表示" of the raster picker (the handler call until PB_Ts has repainted) on one sheet
// with a ZKI file of 5000 figures beside it, against imgLoadToBitmap of the same file alone,
// in one process: 15 alternating pairs (load, then "表示"), so that what other work on the
// machine costs falls on both alike; the median and spread (lowest, highest) of each, the
// ratio of the medians and the median of the per-pair ratios, and the peak resident memory;
// then "表示" without the figures, alternating the same way. Target: at most 1.4 times.
// Usage: bench_picker RASTER [PAIRS]   (the ZKI file beside it is written, then removed)
#include "benchsheet.h"
#include "model/layer.h"
#include "platform/paths.h"
#include "render/imaging.h"
#include "render/paintboxex.h"
#include "shell/frmnvmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QListView>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <filesystem>

namespace {

// The drawing benchmarks' figure mix, spread over this sheet.
void writeFigures(const std::string& zki, int w, int h)
{
    PData store;
    benchsheet::addFigures(store, w, h);
    store.PD_SaveFile(zki);
}

double peakMb()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s RASTER\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    const std::string raster = std::filesystem::absolute(argv[1]).string();
    int w = 0, h = 0;
    {
        Bitmap b;
        if (!imgLoadToBitmap(raster, b)) {
            std::fprintf(stderr, "cannot load %s\n", raster.c_str());
            return 1;
        }
        w = b.width();
        h = b.height();
    }
    const std::string zki = pathChangeExt(raster, "ZKI");
    writeFigures(zki, w, h);
    layTblCreate(1);
    TLayer& list = *layTblGet(0)->layer;
    list.count = 0;
    for (int code = 0; code < 4; ++code) {
        TLayerRec r;
        r.code = code;
        r.color = 0x0000FF << (8 * code % 24);
        list.layerAdd(r);
    }
    cfgSetInt(kxTextSize, 30);
    cfgSetInt(kxSArrowSize, 30);
    cfgSetInt(kxEArrowSize, 30);

    const int pairs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 15;
    auto load = [&] {
        Bitmap b;
        imgLoadToBitmap(raster, b);
    };
    load(); // warm: the file in the page cache
    const double loadPeak = peakMb();

    cfgSetText(kxDataDir, std::filesystem::path(raster).parent_path().string());
    frmNVMainCreate();
    TFrm_NVMain* f = Frm_NVMain;
    f->show();
    QElapsedTimer wait;
    wait.start();
    QModelIndex idx;
    while (wait.elapsed() < 10000) {
        idx = f->fileModel->index(QString::fromStdString(raster));
        if (idx.isValid())
            break;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    if (!idx.isValid()) {
        std::fprintf(stderr, "the picker does not list %s\n", raster.c_str());
        return 1;
    }
    f->FileListBox1->setCurrentIndex(idx);
    auto show = [&] {
        f->FileListBox1DblClick();
        f->PB_Ts->repaint();
    };
    // Alternating pairs: the load, then "表示"; the median, lowest and highest of each.
    auto alternate = [&](const char* what) {
        std::vector<double> loads, shows, ratios;
        show(); // warm
        for (int i = 0; i < pairs; ++i) {
            loads.push_back(benchsheet::medianMs(1, load));
            shows.push_back(benchsheet::medianMs(1, show));
            ratios.push_back(shows.back() / loads.back());
        }
        auto line = [](const char* name, const std::vector<double>& v, const char* unit) {
            std::printf("  %-10s %8.2f%s (%.2f - %.2f)\n", name, benchsheet::median(v), unit,
                        *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end()));
        };
        std::printf("%s, %d alternating pairs:\n", what, pairs);
        line("load", loads, " ms");
        line("show", shows, " ms");
        line("ratio", ratios, "  ");
        const double ofMedians = benchsheet::median(shows) / benchsheet::median(loads);
        std::printf("  ratio of medians %.2f\n", ofMedians);
        return ofMedians;
    };
    std::printf("sheet %dx%d\n", w, h);
    alternate("with 5000 figures (target <= 1.4)");
    const double showPeak = peakMb();
    std::printf("preview %dx%d\n", f->PB_Ts->width(), f->PB_Ts->height());
    // The bare sheet, for what the figures add.
    std::filesystem::remove(zki);
    alternate("bare sheet");
    std::printf("peak-load %.0f MB\npeak-show %.0f MB\n", loadPeak, showPeak);
    frmNVMainDestroy();
    return 0;
}
