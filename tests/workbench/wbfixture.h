// A small opened drawing for the workbench tests: a raster on disk with its companion paths,
// one figure store per layer, the layer set, and the analysis that loads them.
#pragma once
#include "model/imgdef.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "model/qrv.h"
#include "platform/codec.h"
#include "render/kxdraw.h"
#include "testutil.h"
#include "workbench/frmkxinput.h"
#include "workbench/traceanalyse.h"
#include "workbench/wbdialogs.h"
#include "workbench/wbstate.h"

#include <QCheckBox>
#include <QImage>
#include <QPainter>

#include <memory>
#include <string>
#include <vector>

namespace wbtest {

inline TPRec polygon(const std::string& name, int x, int y, int size, int kind = 0)
{
    TPRec r;
    r.name = name;
    r.kind = kind;
    r.pts = {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}, {x, y}};
    r.nPts = static_cast<int>(r.pts.size());
    r.labelX = x + size / 2;
    r.labelY = y + size / 2;
    TPoint lo{x, y}, hi{x + size, y + size};
    r.bbMin = lo;
    r.bbMax = hi;
    return r;
}

struct Sheet {
    testutil::TempDir dir;
    KXDraw drawing;
    std::vector<std::unique_ptr<PData>> stores;

    explicit Sheet(int layers = 1, int width = 400, int height = 300, bool colour = false)
    {
        layTblCreate(layers);
        for (int i = 0; i < layers; ++i) {
            TLay* lay = layTblGet(i);
            lay->name = i == 0 ? "図形等" : "参照" + std::to_string(i);
            lay->layerDefPath = dir.file(i == 0 ? "LayerDef.Txt" : "LayerDef-" + std::to_string(i) + ".Txt");
        }
        QImage img(width, height, colour ? QImage::Format_RGB32 : QImage::Format_Mono);
        img.fill(colour ? QColor(200, 230, 255).rgb() : 1u);
        if (!colour) {
            img.setColor(0, qRgb(0, 0, 0));
            img.setColor(1, qRgb(255, 255, 255));
        }
        {
            QPainter p(&img);
            p.setPen(QPen(colour ? QColor(Qt::darkBlue) : QColor(Qt::black), 3));
            p.drawLine(0, height / 2, width, height / 2);
            p.drawLine(width / 2, 0, width / 2, height);
        }
        const std::string raster = dir.file("sheet.png");
        img.save(QString::fromStdString(raster));
        drawing.imgDef->imagePath = raster;
        drawing.imgDef->dpi = 200;
        drawing.imgDef->scale = 500;
        drawing.rvlPath = dir.file("sheet.RVL");
        drawing.layerCount = layers;
        for (int i = 0; i < layers; ++i) {
            stores.push_back(std::make_unique<PData>());
            drawing.pdata[static_cast<std::size_t>(i)] = stores.back().get();
            drawing.zkiPath[static_cast<std::size_t>(i)] =
                dir.file(i == 0 ? "sheet.ZKI" : "sheet-" + std::to_string(i) + ".ZKI");
        }
    }
    ~Sheet() { inputFreeWorkBitmaps(&drawing); }

    PData& store(int layer = 0) { return *stores[static_cast<std::size_t>(layer)]; }
    void load(int useTrace = 0) { traceAnalyseInfo(&drawing, useTrace); }
};

// Puts the workbench state back to a program's start, and the dialog table to fakes that
// cancel, so no test opens a real dialog.
// The first reference table made from `text` (CP932 on disk, as the program reads it) in
// `dir`; the count of records it loaded.
inline int loadReferenceTable(const testutil::TempDir& dir, const std::string& text)
{
    qrvCreateTables(1);
    const std::string table = dir.file("参照1.txt");
    testutil::writeBytes(table, utf8ToCp932(text));
    return qrvLoadTable(0, table);
}

inline void resetWorkbench()
{
    TWorkbenchState fresh;
    wb.drawing = nullptr;
    wb.viewDivisor = fresh.viewDivisor;
    wb.drawTag = fresh.drawTag;
    wb.inputMode = fresh.inputMode;
    wb.xorMarkShown = 0;
    wb.pickIndex = -1;
    wb.editMode = -1;
    wb.measureState = 0;
    wb.curLayer = 0;
    wb.areaColumn = 0;
    wb.inputRec = TPRec();
    wb.selRec = TPRec();
    wb.editRec = TPRec();
    wb.prevPoint = wb.curPoint = wb.loupeCentre = TPoint();
    wbDialogsReset();
    WorkbenchDialogs& d = wbDialogs();
    d.showKXInputRec2 = [](int, TPRec*) { return 1; };
    d.showQRVInputRec = [](int, int, TPRec*) { return 1; };
    d.showQRVDetail = [](const std::string&, int, const std::string&) {};
    d.showInputPos = [] { return 0; };
    d.showDefImg = [](const std::string&, const std::string&, TImgDef*) { return 1; };
    d.showDefSakuzu = [](int) { return 2; };
    d.printSetSource = [](KXDraw*, int, int) {};
    d.showPrint = [](int, int) {};
}

} // namespace wbtest
