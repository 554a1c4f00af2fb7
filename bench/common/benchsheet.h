// The sheet the drawing benchmarks share: an A1 sheet at 400 dpi (9400 x 13200, one bit) of
// the line work of the data folder tiled, its half and quarter reductions, four attribute rows
// and 5000 figures of the kinds an operator draws; and the median timing they report. Other
// sheet sizes (the A0 print) take the same line work and figure mix.
#pragma once
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "render/bitmap.h"
#include "render/imaging.h"
#include "render/kxdraw.h"

#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace benchsheet {

constexpr int kSheetW = 9400;
constexpr int kSheetH = 13200;
constexpr int kFigures = 5000;

// Black line work on white, one bit: the edge map of the data folder tiled over the sheet,
// or a drawn grid when it is absent.
inline QImage makeSheet(const std::string& dataDir, int sheetW = kSheetW, int sheetH = kSheetH)
{
    QImage sheet(sheetW, sheetH, QImage::Format_Mono);
    sheet.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    sheet.fill(1);
    Bitmap loaded;
    if (imgLoadToBitmap(dataDir + "/paris-1926-sheet4-train-edges.png", loaded)) {
        const QImage edges = loaded.image().convertToFormat(QImage::Format_Grayscale8);
        for (int y = 0; y < sheetH; ++y) {
            const uchar* src = edges.constScanLine(y % edges.height());
            uchar* dst = sheet.scanLine(y);
            for (int x = 0; x < sheetW; ++x)
                if (src[x % edges.width()] >= 128) // white edges become black lines
                    dst[x >> 3] &= static_cast<uchar>(~(0x80 >> (x & 7)));
        }
        std::printf("sheet: %s tiled to %d x %d\n", "paris-1926-sheet4-train-edges.png", sheetW, sheetH);
    } else {
        for (int y = 0; y < sheetH; y += 97)
            for (int x = 0; x < sheetW; ++x)
                sheet.setPixel(x, y, 0);
        std::printf("sheet: drawn grid %d x %d (data folder absent)\n", sheetW, sheetH);
    }
    return sheet;
}

// One figure of the mix: half polygons (filled), polylines, texts and leader lines with an
// end arrow and a start circle, scattered over a sheet of sheetW x sheetH.
inline TPRec makeFigure(QRandomGenerator& rng, int i, int sheetW = kSheetW, int sheetH = kSheetH)
{
    static const char* const names[] = {"123-4", "宅地", "道路", "A-12"};
    TPRec f;
    const int pick = i % 10;
    f.kind = pick < 5 ? 0 : pick < 8 ? 1 : pick == 8 ? 4 : 2;
    f.layerIndex = rng.bounded(4);
    f.flags = f.kind == 0 ? 1 : f.kind == 2 ? 3 : 0;
    const int cx = rng.bounded(sheetW), cy = rng.bounded(sheetH);
    const int n = f.kind == 0 ? 4 + rng.bounded(8) : f.kind == 1 ? 3 + rng.bounded(6) : 2;
    for (int k = 0; k < n; ++k)
        f.pts.push_back({cx + rng.bounded(-250, 250), cy + rng.bounded(-250, 250)});
    f.nPts = n;
    f.name = names[i % 4];
    f.startPt = {30, 0};
    f.labelX = cx;
    f.labelY = cy;
    return f;
}

inline void addFigures(PData& store, int sheetW = kSheetW, int sheetH = kSheetH)
{
    QRandomGenerator rng(7);
    for (int i = 0; i < kFigures; ++i)
        store.PD_AddPoly(0, makeFigure(rng, i, sheetW, sheetH));
}

// The attribute rows of layer 0 and the text and arrow sizes the figures are drawn with.
inline void setUpLayers()
{
    layTblCreate(1);
    TLayer& rows = *layTblGet(0)->layer;
    const std::pair<TColor, int> attrs[] = {{0x0000FF, 2}, {0x00A000, 101}, {0xFF0000, 3}, {0x800080, 301}};
    for (int i = 0; i < 4; ++i) {
        TLayerRec r;
        r.code = i + 1;
        r.color = attrs[i].first;
        r.lineCode = attrs[i].second;
        rows.layerAdd(r);
    }
    for (auto [slot, v] : {std::pair{kxTextSize, 30}, {kxSArrowSize, 30}, {kxEArrowSize, 30}})
        cfgSetInt(slot, v);
}

// The sheet with its reductions and figures, opened in one drawing object (layer 0).
struct Sheet {
    Bitmap raster;
    Bitmap half;
    Bitmap quarter;
    PData store;
    KXDraw kx;

    explicit Sheet(const std::string& dataDir, int sheetW = kSheetW, int sheetH = kSheetH)
        : raster(makeSheet(dataDir, sheetW, sheetH), pf1bit)
    {
        imgResizeRefine1Bit(raster.width() / 2, raster.height() / 2, raster, half);
        imgResizeRefine1Bit(raster.width() / 4, raster.height() / 4, raster, quarter);
        setUpLayers();
        addFigures(store, sheetW, sheetH);
        kx.rasterBmp = &raster;
        kx.halfBmp = &half;
        kx.quarterBmp = &quarter;
        kx.pdata[0] = &store;
        kx.layerCount = 1;
    }
};

// The median of `runs` timed calls, cold: the first call counts as the others do.
inline double medianMs(int runs, const std::function<void()>& body)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        body();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::nth_element(ms.begin(), ms.begin() + runs / 2, ms.end());
    return ms[static_cast<std::size_t>(runs / 2)];
}

// The median of `runs` timed calls after two untimed ones: other work on the machine only
// lengthens some of them.
inline double msPerRun(int runs, const std::function<void()>& body)
{
    body(); // warm: the display copies are made here
    body();
    return medianMs(runs, body);
}

// The median of a list of times.
inline double median(std::vector<double> ms)
{
    if (ms.empty())
        return 0;
    std::nth_element(ms.begin(), ms.begin() + static_cast<std::ptrdiff_t>(ms.size() / 2), ms.end());
    return ms[ms.size() / 2];
}

} // namespace benchsheet
