// The drawing object: one drawing opened for preview, editing or printing (its image
// definition, bitmaps, figure layers and render state), and the routine that renders it onto
// any canvas at any resolution.
#pragma once
#include "render/bitmap.h"

#include <QPoint>
#include <QRect>

#include <array>
#include <memory>
#include <string>
#include <vector>

class Canvas;
class PData;
class StyleLine;
struct TImgDef;
struct TPRec;
struct TLayerRec;

constexpr int KX_MAX_LAYERS = 5;

class KXDraw {
public:
    KXDraw();
    ~KXDraw();
    KXDraw(const KXDraw&) = delete;
    KXDraw& operator=(const KXDraw&) = delete;

    std::string rvlPath;
    std::unique_ptr<TImgDef> imgDef;                  // owned
    int layerCount = 1;                               // figure layers in use, 1 to 5
    std::array<std::string, KX_MAX_LAYERS> zkiPath;
    std::array<PData*, KX_MAX_LAYERS> pdata{};        // not owned
    Canvas* canvas = nullptr;                         // canvas of the current Draw; not owned
    Bitmap* loupeBmp = nullptr;                       // the bitmaps belong to the opener
    Bitmap* rasterBmp = nullptr;
    Bitmap* halfBmp = nullptr;
    Bitmap* quarterBmp = nullptr;
    double dpm = 1.0;                                 // device dots per millimetre
    std::unique_ptr<StyleLine> styleLine;             // owned
    int lineKind = 1;                                 // 1 plain pen, 2 to 5 a dashed pattern

    // Render state. Every opener sets it before drawing; these starting values only keep a
    // premature Draw harmless.
    int showImage = 0;
    int displayOption = 3; // stored only
    int outMode = 0;       // 0 screen, 1 preview, 2 printer
    int hatchKind = 1;     // 0, 1, 2 tones of 10, 25, 50 %; 3 diagonal cross hatch
    int imageOverFills = 1;
    int drawNames = 0;
    int blackOutline = 0;
    int forceRatio = 0;
    double printRatio = 1.0;
    double rasterFactor = 1.0;
    double divisor = 1.0; // raster pixels per device dot
    int pOffsX = 0;       // page offsets in mm, preview and printer
    int pOffsY = 0;
    int hrSize = 0;
    int hrPos = 0; // scale-bar position settings: stored only
    int hrOffsX = 0;
    int hrOffsY = 0;
    double zoom = 1.0;
    int scaleDenom = 0; // 0 means 1000
    int outDpi = 0;     // stored only

    // -1 (integers) and exactly -1.0 (reals) leave a field unchanged.
    void SetDrawParams(int showImage, int displayOption, int outMode, int hatchKind,
                       int imageOverFills, int drawNames, int blackOutline, int forceRatio,
                       double printRatio, double divisor, double zoom, double rasterFactor);
    void SetPrintLayout(int pOffsX, int pOffsY, int hrSize, int hrPos, int hrOffsX, int hrOffsY);
    // Both always stored.
    void SetScaleInfo(int scaleDenom, int outDpi);

    // Raster coordinate to device dot: v / divisor, plus the page offset when mode is
    // non-zero, truncated toward zero.
    int ToDevX(int mode, int x, double divisor) const;
    int ToDevY(int mode, int y, double divisor) const;

    // Renders the drawing into (0, 0)-(width, height) of the canvas. Figures that cannot reach
    // the canvas's visible part are skipped whole, so the pens, brushes and fonts a Draw
    // leaves on the canvas are not fixed (copy mode is source copy): draw on with your own.
    void Draw(Canvas* canvas, int width, int height, double dpm);

    // The device area (dots, as Draw at `dpm` with the present render state maps them) that
    // figure `figure` of layer `layer` can draw on: fill, outline, arrowheads, circles, texts,
    // name and vertex mark. The bound by which Draw skips a figure out of view: a Draw
    // clipped to it draws every figure that changes any of its pixels.
    QRect FigureArea(int layer, const TPRec& figure, double dpm);

    // The steps of Draw.
    void DrawImage(int pass, int width, int height);
    void FillLayer(PData* store, int layer);
    void DrawScaleBar(int width, int height);
    void DrawLayer(PData* store, int layer);
    void SetStyleFor(int layer, const TPRec& figure);

    // Drawing primitives, in device dots.
    void DrawHorzText(int x, int y, int h, const std::string& text);
    void DrawRotatedText(int x, int y, double a, int h, const std::string& text);
    void DrawArrowHead(QPoint q, double s, double theta);
    void DrawArrowLines(double ax, double ay, double bx, double by, int size);
    void DrawDimension(QPoint p0, QPoint p1, QPoint p2, int h, int a, int centred,
                       const std::string& text);
    void DrawCircle(QPoint c, int r);
    void DrawCircleThrough(QPoint c, QPoint p);
    void DrawCirclePoly(QPoint c, QPoint p);
    void DrawVertexMark(int x, int y);

private:
    bool sizesScaled() const { return outMode != 0 || forceRatio != 0; }
    // The preview shows the page reduced by its zoom: sizes of the page's marks shrink with it.
    double previewReduction() const { return outMode == 1 ? zoom : 1.0; }
    // A text, arrow or circle size in dots as this output draws it: divided by the print
    // ratio where sizes are scaled, and reduced with the preview.
    double markSize(double v) const { return sizesScaled() ? v / printRatio * previewReduction() : v; }
    // The attribute row a figure of `layer` takes (row 0 for an index outside the list),
    // `fallback` when the layer has none; and the pen width it gives.
    const TLayerRec& rowFor(int layer, const TPRec& figure, const TLayerRec& fallback) const;
    int penWidthOf(const TLayerRec& row) const;
    // The pen widths of the rows of `layer`, for the bound of each figure of a pass.
    void preparePens(int layer);
    int passPen(const TPRec& figure) const;
    // The sizes that the bound of every figure uses, from the settings and `dpm`.
    void prepareReach();
    // The device area the figure can draw on (`filling`: its fill alone) with pen width `pen`:
    // fill, outline, marks, text and name. Conservative: Draw skips a figure whose area
    // misses the visible part of the canvas.
    QRectF reachBox(const TPRec& figure, bool filling, int pen) const;
    // The figure's points in device dots, into the work buffer; the count converted.
    int toDevice(const TPRec& figure);
    void drawOutline(int n);
    void drawOpen(int n);
    // The dashed pen set to the canvas pen's width and the figure's line kind.
    StyleLine& dashedPen();
    void beginText(int h);
    void lineThrough(const std::vector<QPoint>& pts);
    void drawLeader(const TPRec& figure, int n);
    bool markPen(bool blackRim);
    // Font heights and arrow size as the texts, callouts and names are drawn with them.
    int textFontHeight(const TPRec& figure) const;
    void calloutSizes(const TPRec& figure, double& h, double& a) const;
    int nameFontHeight() const;
    void drawText(const TPRec& figure, int n);
    void drawCallout(const TPRec& figure, int n);
    void drawName(const TPRec& figure);
    void drawScaled(const Bitmap& raster, const QRect& target);
    void drawEighth(const Bitmap& quarter, QPoint at);

    std::vector<QPoint> dev_; // device points of the current figure, as large as the largest
    std::vector<QPoint> ring_; // a closed outline or circle being drawn
    // The last on-the-fly reduction of the raster, kept while raster and size stay the same.
    Bitmap reduced_;
    qint64 reducedKey_ = 0;
    QRect reducedRect_;
    // The quarter bitmap halved again for divisor 8, darkest of each 2 x 2, while the quarter
    // bitmap stays the same.
    Bitmap eighth_;
    qint64 eighthKey_ = 0;
    // Per Draw: how far end arrows, start circles and names reach; per pass: the row pens.
    double reachArrow_ = 0;
    double reachCircle_ = 0;
    int reachNameHeight_ = 0;
    double reachScale_ = 1.0; // dots per raster pixel
    double reachOffX_ = 0;    // page offsets in dots
    double reachOffY_ = 0;
    double reachPen_ = 5;     // arrow and circle pens and a margin, beyond the figure's pen
    std::vector<int> rowPens_;
    int fallbackPen_ = 1;
};
