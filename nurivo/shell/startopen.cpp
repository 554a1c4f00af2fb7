#include "shell/startopen.h"

#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "model/startup.h"
#include "platform/codec.h"
#include "platform/paths.h"
#include "platform/ui.h"
#include "render/imaging.h"
#include "render/kxdraw.h"
#include "shell/entries.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool isFile(const std::string& path)
{
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

// Only a regular file is removed: a folder or link that happens to sit at the work image's
// path is none of ours.
void removeWorkImage(const std::string& tmp)
{
    std::error_code ec;
    if (fs::is_regular_file(fs::symlink_status(tmp, ec)))
        fs::remove(tmp, ec);
}

// Frees what the trace analysis put into the drawing and the figure stores, whatever way
// the open ends.
struct OpenedDrawing {
    KXDraw drawing;
    std::vector<std::unique_ptr<PData>> stores;
    ~OpenedDrawing()
    {
        if (auto& freeBitmaps = shellEntries().inputFreeWorkBitmaps)
            freeBitmaps(&drawing);
        for (auto& store : stores)
            store->PD_Clear();
        drawing.pdata.fill(nullptr);
    }
};

} // namespace

std::string startTrelvexPath()
{
    std::string here = pathJoin(startGetDir(), "trelvex");
    if (isFile(here) || programDir.empty())
        return here;
    return pathJoin(programDir, "trelvex");
}

bool startCompanionsFree(const KXDraw& drawing)
{
    const std::string& raster = drawing.imgDef->imagePath;
    const int count = std::clamp(drawing.layerCount, 1, static_cast<int>(KX_MAX_LAYERS));
    const std::vector<std::string> zki(drawing.zkiPath.begin(), drawing.zkiPath.begin() + count);
    const std::vector<TCompanionClash> clashes = layerCompanionClashes(raster, layerDrawingCompanions(raster, zki));
    if (clashes.empty())
        return true;
    ui::showMessage(layerClashText(clashes) + "\n図面を開けません");
    return false;
}

void startOpenRaster(int directPrint, int openMode)
{
    const std::string raster = cmdBaseDir + "/" + cmdSubDir + "/" + cmdRasterName;
    if (cp932Length(raster) <= 4) {
        ui::showMessage("不正なファイル名です");
        return;
    }
    if (!isFile(raster)) {
        ui::showMessage("指定したラスタファイルが見つかりません");
        return;
    }

    auto opened = std::make_unique<OpenedDrawing>();
    KXDraw& drawing = opened->drawing;
    drawing.imgDef->imagePath = raster;
    drawing.rvlPath = pathChangeExt(raster, "RVL");
    drawing.layerCount = std::clamp(layTblGetCount(), 1, static_cast<int>(KX_MAX_LAYERS));

    for (int t = 0; t < drawing.layerCount; ++t) {
        auto store = std::make_unique<PData>();
        store->useNames = 1;
        if (t == 0) {
            drawing.zkiPath[0] = pathChangeExt(raster, "ZKI");
        } else {
            const TLay* lay = layTblGet(t);
            std::string folder = cmdBaseDir + "/" + (lay ? lay->name : std::string()) + "/" + cmdSubDir;
            std::error_code ec; // a folder that cannot be made shows when its file is saved
            fs::create_directories(folder, ec);
            drawing.zkiPath[static_cast<size_t>(t)] = pathChangeExt(folder + "/" + cmdRasterName, "ZKI");
        }
        drawing.pdata[static_cast<size_t>(t)] = store.get();
        opened->stores.push_back(std::move(store));
    }

    // A save at the end would overwrite one layer's work with another's, or the image itself.
    if (directPrint == 0 && !startCompanionsFree(drawing))
        return;

    ShellEntries& entries = shellEntries();
    if (openMode == 1 && !exists(drawing.rvlPath))
        entries.tracePreprocess(raster);
    entries.traceAnalyseInfo(&drawing, openMode);

    TImgDef& def = *drawing.imgDef;
    if (imgDefRead(def, imgGetFileDpi) == 0 && drawing.rasterBmp && !drawing.rasterBmp->isEmpty()) {
        def.width = drawing.rasterBmp->width();
        def.height = drawing.rasterBmp->height();
    }

    if (directPrint == 0) {
        entries.showKXInput(&drawing);
    } else {
        drawing.SetDrawParams(1, 3, 0, 1, 1, 1, 1, 1, 1.0, 1.0, 1.0, 1.0);
        entries.printSetSource(&drawing, def.dpi, def.scale);
        entries.showPrint(12, cfgGetInt(kxPaperSize));
    }
}

void tracePreprocess(const std::string& rasterPath)
{
    const std::string rvl = pathChangeExt(rasterPath, "RVL");
    const std::string tmp = pathChangeExt(rasterPath, "TMP");
    if (!isFile(rasterPath)) {
        ui::showMessage("イメージファイルが見つかりません(" + rasterPath + ")");
        return;
    }
    // A raster named like its own work image or line-work file would be overwritten; a
    // folder or link at the work image's path is left alone.
    if (pathSameFile(tmp, rasterPath) || pathSameFile(rvl, rasterPath) ||
        (exists(tmp) && !fs::is_regular_file(fs::symlink_status(tmp)))) {
        ui::showMessage("ワーク用ファイルを作成できません");
        return;
    }
    if (imgConvertTo1BitBmp(rasterPath, tmp, 128) == 0) {
        removeWorkImage(tmp);
        ui::showMessage("ワーク用ファイルを作成できません");
        return;
    }
    // Blocks without handling events until trelvex ends; its outcome shows only in the RVL
    // file, which the trace analysis looks for.
    QProcess::execute(QString::fromStdString(startTrelvexPath()),
                      {QString::fromStdString(tmp), QString::fromStdString(rvl)});
    removeWorkImage(tmp);
}
