// Times "表示" of the raster picker (the handler call until PB_Ts has repainted) on one sheet
// with a ZKI file of 5000 figures beside it, against imgLoadToBitmap of the same file alone,
// in one process: the median of 5 runs each, and the peak resident memory after each part;
// then "表示" once more without the figures.
// Usage: bench_picker RASTER   (the ZKI file beside it is written, then removed)
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "platform/paths.h"
#include "render/imaging.h"
#include "render/paintboxex.h"
#include "shell/frmnvmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QListView>
#include <QRandomGenerator>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

// Figures spread over the sheet as the drawing benchmark spreads them.
void writeFigures(const std::string& zki, int w, int h)
{
    PData store;
    QRandomGenerator rng(7);
    const char* names[] = {"123-4", "宅地", "道路", "A-12"};
    for (int i = 0; i < 5000; ++i) {
        TPRec f;
        const int pick = i % 10;
        f.kind = pick < 5 ? 0 : pick < 8 ? 1 : pick == 8 ? 4 : 2;
        f.layerIndex = rng.bounded(4);
        f.flags = f.kind == 0 ? 1 : f.kind == 2 ? 3 : 0;
        const int cx = rng.bounded(w), cy = rng.bounded(h);
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
    store.PD_SaveFile(zki);
}

double medianMs(int runs, const std::function<void()>& body)
{
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

    const int runs = 5;
    const double loadMs = medianMs(runs, [&] {
        Bitmap b;
        imgLoadToBitmap(raster, b);
    });
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
    const double showMs = medianMs(runs, [&] {
        f->FileListBox1DblClick();
        f->PB_Ts->repaint();
    });
    const double showPeak = peakMb();
    // The bare sheet, for what the figures add.
    std::filesystem::remove(zki);
    const double bareMs = medianMs(runs, [&] {
        f->FileListBox1DblClick();
        f->PB_Ts->repaint();
    });
    std::printf("sheet %dx%d preview %dx%d\n", w, h, f->PB_Ts->width(), f->PB_Ts->height());
    std::printf("load %.0f ms\nshow %.0f ms\nratio %.2f\n", loadMs, showMs, showMs / loadMs);
    std::printf("show-bare %.0f ms\nratio-bare %.2f\n", bareMs, bareMs / loadMs);
    std::printf("peak-load %.0f MB\npeak-show %.0f MB\n", loadPeak, showPeak);
    frmNVMainDestroy();
    return 0;
}
