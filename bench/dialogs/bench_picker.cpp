// Times "表示" of the raster picker (the handler call until PB_Ts has repainted) on one sheet
// with a ZKI file of 5000 figures beside it, against imgLoadToBitmap of the same file alone,
// in one process: the median of 5 runs each, and the peak resident memory after each part;
// then "表示" once more without the figures.
// Usage: bench_picker RASTER   (the ZKI file beside it is written, then removed)
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

#include <cstdio>
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

    const int runs = 5;
    const double loadMs = benchsheet::medianMs(runs, [&] {
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
    const double showMs = benchsheet::medianMs(runs, [&] {
        f->FileListBox1DblClick();
        f->PB_Ts->repaint();
    });
    const double showPeak = peakMb();
    // The bare sheet, for what the figures add.
    std::filesystem::remove(zki);
    const double bareMs = benchsheet::medianMs(runs, [&] {
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
