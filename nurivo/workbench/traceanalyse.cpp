#include "workbench/traceanalyse.h"

#include "model/imgdef.h"
#include "model/pdata.h"
#include "model/startup.h"
#include "model/tracegrid.h"
#include "platform/message.h"
#include "render/imaging.h"
#include "render/kxdraw.h"
#include "shell/frmprogress.h"
#include "workbench/frmkxinput.h"

#include <exception>
#include <filesystem>
#include <functional>
#include <new>

namespace {

// One guarded step: an exception inside it is shown with the step's name and the analysis goes
// on with the next step.
void guarded(const char* step, const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::bad_alloc&) {
        showMessage(std::string(step) + ": メモリが不足しています");
    } catch (const std::exception& e) {
        showMessage(std::string(step) + ": " + e.what());
    }
}

// A reduction the imaging module refused is a failure of its step too, not a silent blank.
struct ReductionFailed : std::exception {
    const char* what() const noexcept override { return "縮小できませんでした"; }
};

void reduce(const Bitmap& raster, int width, int height, Bitmap& target)
{
    if (raster.isEmpty())
        return; // nothing loaded, not even the placeholder: the reduction stays empty
    const int done = raster.isOneBit() ? imgResizeRefine1Bit(width, height, raster, target)
                                       : imgResizeBitmap(width, height, raster, target);
    if (done == 0)
        throw ReductionFailed();
}

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

} // namespace

void traceAnalyseInfo(KXDraw* drawing, int useTrace)
{
    if (drawing == nullptr)
        return;

    // 1. The four work bitmaps; any left from an earlier analysis of this drawing go first.
    inputFreeWorkBitmaps(drawing);
    drawing->loupeBmp = new Bitmap();
    drawing->rasterBmp = new Bitmap();
    drawing->halfBmp = new Bitmap();
    drawing->quarterBmp = new Bitmap();
    Bitmap& raster = *drawing->rasterBmp;

    // 2. The placeholder fills the raster until the real one replaces it.
    imgLoadToBitmap(placeholderImagePath, raster);

    progressOpen(4, "トレース情報解析");

    // 4. A raster that cannot be loaded leaves the placeholder.
    progressStep(1, "Image処理１実行中");
    if (drawing->imgDef)
        imgLoadToBitmap(drawing->imgDef->imagePath, raster);
    const int w = raster.width();
    const int h = raster.height();

    guarded("Image処理２-２実行中", [&] {
        progressStep(2, "Image処理２-２実行中");
        reduce(raster, w / 4, h / 4, *drawing->quarterBmp);
    });
    guarded("Image処理２-１実行中", [&] {
        progressStep(2, "Image処理２-１実行中");
        reduce(raster, w / 2, h / 2, *drawing->halfBmp);
    });

    if (useTrace == 1 && fileExists(drawing->rvlPath)) {
        progressStep(2, "Image処理２-３実行中");
        guarded("ワークファイル読込中", [&] {
            progressStep(3, "ワークファイル読込中");
            // The grid only needs the raster's size: no scratch bitmap is made.
            if (polyInit(w, h) == 0)
                return;
            polyReadRvl(drawing->rvlPath, h);
            progressStep(4, "計算処理１実行中");
            polyGridFromBitmap(1, w, h);
            progressStep(5, "計算処理２実行中");
            polyMarkVertices();
        });
    } else {
        polyFree();
    }

    progressStep(4, "後処理");
    for (int i = 0; i < drawing->layerCount && i < KX_MAX_LAYERS; ++i) {
        if (drawing->pdata[i] != nullptr)
            drawing->pdata[i]->PD_LoadFile(drawing->zkiPath[i], i);
    }

    progressClose();
}
