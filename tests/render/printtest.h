// What the print form tests share: a small drawing with a one-bit raster and a layer of
// figures, settings as the program keeps them, and a way to act on the modal form.
#pragma once
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "model/startup.h"
#include "platform/ui.h"
#include "render/bitmap.h"
#include "render/frmprint.h"
#include "render/imaging.h"
#include "render/kxdraw.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QTimer>

#include "renderapp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <string>

namespace printtest {

constexpr int kRasterW = 1400;
constexpr int kRasterH = 1000;
// A black line 1000 pixels long and 24 high: 100 m of ground at 254 dpi and 1:1000.
constexpr int kLineX0 = 100;
constexpr int kLineX1 = 1100;
constexpr int kLineY0 = 488;
constexpr int kLineY1 = 512;

// Black line work on white, one bit.
inline QImage lineRaster()
{
    QImage img(kRasterW, kRasterH, QImage::Format_Mono);
    img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    img.fill(1);
    for (int y = kLineY0; y < kLineY1; ++y)
        for (int x = kLineX0; x < kLineX1; ++x)
            img.setPixel(x, y, 0);
    return img;
}

inline TPRec figure(int kind, std::initializer_list<TPoint> pts, int flags = 0, int row = 0)
{
    TPRec f;
    f.kind = kind;
    f.flags = flags;
    f.layerIndex = row;
    f.pts.assign(pts);
    f.nPts = static_cast<int>(f.pts.size());
    f.labelX = f.pts.empty() ? 0 : f.pts[0].x;
    f.labelY = f.pts.empty() ? 0 : f.pts[0].y;
    return f;
}

// The settings as a fresh table loads them, the figure layer's rows as (colour, line code).
inline void defaultSettings(std::initializer_list<std::pair<TColor, int>> rows = {{0x0000FF, 1}})
{
    for (auto [slot, v] :
         {std::pair{kxPaperSize, 4}, {kxPaperX, 420}, {kxPaperY, 297}, {kxSCALE, 500}, {kxPOffsX, 0},
          {kxPOffsY, 0}, {kxHRSize, 0}, {kxHRPos, 0}, {kxHROffsX, 0}, {kxHROffsY, 0}, {kxFontType, 0},
          {kxBB_Paper, 2}, {kxBB_Scale, 500}, {kxBB_CX, 500}, {kxBB_CY, 500}, {kxTextSize, 30},
          {kxSArrowSize, 30}, {kxEArrowSize, 30}})
        cfgSetInt(slot, v);
    layTblCreate(1);
    TLayer& list = *layTblGet(0)->layer;
    int code = 1;
    for (auto [color, lineCode] : rows) {
        TLayerRec r;
        r.code = code++;
        r.color = color;
        r.lineCode = lineCode;
        list.layerAdd(r);
    }
}

// One drawing opened as the raster picker opens it for printing.
struct Drawing {
    Bitmap raster;
    Bitmap half;
    Bitmap quarter;
    PData store;
    KXDraw kx;

    explicit Drawing(const QImage& image = lineRaster())
    {
        rendertest::app();
        raster = Bitmap(image, pf1bit);
        imgResizeRefine1Bit(raster.width() / 2, raster.height() / 2, raster, half);
        imgResizeRefine1Bit(raster.width() / 4, raster.height() / 4, raster, quarter);
        kx.rasterBmp = &raster;
        kx.halfBmp = &half;
        kx.quarterBmp = &quarter;
        kx.pdata[0] = &store;
        kx.layerCount = 1;
        // The picker's preview settings: raster over the fills, 25 % tone, no names.
        kx.SetDrawParams(1, 3, 1, 1, 1, 0, 0, 1, 1.0, 1.0, 1.0, 1.0);
        kx.SetPrintLayout(0, 0, 0, -1, -1, -1);
    }
    void add(const TPRec& f) { store.PD_AddPoly(0, f); }
};

// Runs showPrint and calls `act` on the open form; afterwards the form is closed through its
// frame unless `act` closed it. The dialogs answer from the scripted queue.
inline bool withForm(int paperIndex, const std::function<void(TFrm_Print&)>& act, int kind = 12)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        TFrm_Print* form = Frm_Print;
        if (!form)
            return;
        ran = true;
        act(*form);
        if (form->isVisible())
            form->close();
    });
    showPrint(kind, paperIndex);
    return ran;
}

// The first page of a PDF rasterised at `dpi`; null when it cannot be.
inline QImage rasterisePdf(const std::string& pdf, int dpi)
{
    const QString base = QString::fromStdString(pdf) + QStringLiteral(".page");
    const int rc = QProcess::execute(QStringLiteral("pdftoppm"),
                                     {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-aa"), QStringLiteral("no"),
                                      QStringLiteral("-aaVector"), QStringLiteral("no"), QStringLiteral("-png"),
                                      QStringLiteral("-singlefile"), QString::fromStdString(pdf), base});
    if (rc != 0)
        return QImage();
    // NURIVO_KEEP_PAGES=folder keeps each page there, to be looked at.
    if (const char* keep = std::getenv("NURIVO_KEEP_PAGES")) {
        static int n = 0;
        QFile::copy(base + QStringLiteral(".png"), QStringLiteral("%1/page-%2.png").arg(QString::fromLocal8Bit(keep)).arg(++n));
    }
    return QImage(base + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// The first page's size in mm as pdfinfo reads it; empty when it cannot.
inline QSizeF pdfPageSizeMm(const std::string& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {QString::fromStdString(pdf)});
    p.waitForFinished(30000);
    const QString out = QString::fromLocal8Bit(p.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")).match(out);
    if (!m.hasMatch())
        return QSizeF();
    return QSizeF(m.captured(1).toDouble() * 25.4 / 72, m.captured(2).toDouble() * 25.4 / 72);
}

inline std::string pdfFonts(const std::string& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdffonts"), {QString::fromStdString(pdf)});
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

} // namespace printtest
