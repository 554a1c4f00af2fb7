#include "render/kxdraw.h"

#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "platform/codec.h"
#include "platform/satint.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/styleline.h"
#include "render/tone.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

// Settings slots read by the rendering, in 0.1 mm.
constexpr int kTextSizeSlot = 3;
constexpr int kStartCircleSlot = 35;
constexpr int kEndArrowSlot = 36;

constexpr TColor kBlack = 0x000000;
constexpr TColor kWhite = 0xFFFFFF;

bool isPolygonKind(int kind) { return kind == 0 || kind == 10 || kind == 11; }

} // namespace

KXDraw::KXDraw() : imgDef(std::make_unique<TImgDef>()), styleLine(std::make_unique<StyleLine>()) {}

KXDraw::~KXDraw() = default;

void KXDraw::SetDrawParams(int showImage_, int displayOption_, int outMode_, int hatchKind_,
                           int imageOverFills_, int drawNames_, int blackOutline_,
                           int forceRatio_, double printRatio_, double divisor_, double zoom_,
                           double rasterFactor_)
{
    auto setInt = [](int& field, int v) {
        if (v != -1)
            field = v;
    };
    auto setReal = [](double& field, double v) {
        if (v != -1.0)
            field = v;
    };
    setInt(showImage, showImage_);
    setInt(displayOption, displayOption_);
    setInt(outMode, outMode_);
    setInt(hatchKind, hatchKind_);
    setInt(imageOverFills, imageOverFills_);
    setInt(drawNames, drawNames_);
    setInt(blackOutline, blackOutline_);
    setInt(forceRatio, forceRatio_);
    setReal(printRatio, printRatio_);
    setReal(divisor, divisor_);
    setReal(zoom, zoom_);
    setReal(rasterFactor, rasterFactor_);
}

void KXDraw::SetPrintLayout(int pOffsX_, int pOffsY_, int hrSize_, int hrPos_, int hrOffsX_,
                            int hrOffsY_)
{
    for (auto [field, v] : {std::pair{&pOffsX, pOffsX_}, {&pOffsY, pOffsY_}, {&hrSize, hrSize_},
                            {&hrPos, hrPos_}, {&hrOffsX, hrOffsX_}, {&hrOffsY, hrOffsY_}})
        if (v != -1)
            *field = v;
}

void KXDraw::SetScaleInfo(int scaleDenom_, int outDpi_)
{
    scaleDenom = scaleDenom_;
    outDpi = outDpi_;
}

int KXDraw::ToDevX(int mode, int x, double div) const
{
    double d = x / div;
    if (mode != 0)
        d += pOffsX * dpm * zoom;
    return satToInt(d);
}

int KXDraw::ToDevY(int mode, int y, double div) const
{
    double d = y / div;
    if (mode != 0)
        d += pOffsY * dpm * zoom;
    return satToInt(d);
}

void KXDraw::Draw(Canvas* c, int width, int height, double dpm_)
{
    canvas = c;
    dpm = dpm_;
    styleLine->SetCanvas(c);
    lineKind = 1;
    if (!canvas)
        return;
    prepareReach();
    const int layers = std::clamp(layerCount, 0, KX_MAX_LAYERS);
    if (showImage) {
        DrawImage(0, width, height);
    } else {
        canvas->setBrushStyle(BrushStyle::Solid);
        canvas->setBrushColor(kWhite);
        canvas->fillRect(0, 0, width, height);
    }
    for (int i = 0; i < layers; ++i)
        FillLayer(pdata[static_cast<std::size_t>(i)], i);
    if (showImage)
        DrawImage(1, width, height);
    DrawScaleBar(width, height);
    for (int i = 0; i < layers; ++i)
        if (pdata[static_cast<std::size_t>(i)])
            DrawLayer(pdata[static_cast<std::size_t>(i)], i);
    canvas->setDrawingOff(false);
}

// ---------------------------------------------------------------------------------------
// Background

void KXDraw::DrawImage(int pass, int width, int height)
{
    if (imageOverFills) {
        if (pass == 0) {
            canvas->setBrushStyle(BrushStyle::Solid);
            canvas->setBrushColor(kWhite);
            canvas->fillRect(0, 0, width, height);
            return;
        }
        canvas->setCopyMode(CopyMode::SrcAnd);
    } else if (pass == 1) {
        return;
    }
    if (!rasterBmp || rasterBmp->isEmpty()) {
        canvas->setCopyMode(CopyMode::SrcCopy);
        return;
    }
    int W = rasterBmp->width();
    int H = rasterBmp->height();
    int d = -1;
    if (divisor == std::floor(divisor) && std::abs(divisor) < 64)
        d = static_cast<int>(divisor);
    // The prepared bitmaps stand at the page offsets like the figures over them (none on the
    // screen), so that paper with offsets keeps raster and figures in register.
    const int ox = outMode != 0 ? ToDevX(outMode, 0, divisor) : 0;
    const int oy = outMode != 0 ? ToDevY(outMode, 0, divisor) : 0;
    // A prepared bitmap that is missing is stood in for by the raster stretched to its size;
    // so is one made only now (deferred) whose making failed.
    auto prepared = [&](const Bitmap* bmp, int div) {
        if (bmp && !bmp->image().isNull())
            canvas->draw(ox, oy, *bmp);
        else
            canvas->stretchDraw(QRect(ox, oy, W / div, H / div), *rasterBmp);
    };
    switch (d) {
    case 1:
        canvas->draw(ox, oy, *rasterBmp);
        break;
    case 2:
        prepared(halfBmp, 2);
        break;
    case 4:
        prepared(quarterBmp, 4);
        break;
    case 8:
        if (quarterBmp && !quarterBmp->isEmpty())
            drawEighth(*quarterBmp, QPoint(ox, oy));
        else
            canvas->stretchDraw(QRect(ox, oy, W / 8, H / 8), *rasterBmp);
        break;
    default: {
        if (outMode != 2 && rasterFactor != 1.0) {
            W = satToInt(W * rasterFactor);
            H = satToInt(H * rasterFactor);
        }
        const QPoint tl(ToDevX(outMode, 0, divisor), ToDevY(outMode, 0, divisor));
        const QPoint br(ToDevX(outMode, W, divisor), ToDevY(outMode, H, divisor));
        const QRect target(tl, QSize(br.x() - tl.x(), br.y() - tl.y()));
        if (outMode == 2)
            canvas->stretchDraw(target, *rasterBmp);
        else
            drawScaled(*rasterBmp, target);
        break;
    }
    }
    canvas->setCopyMode(CopyMode::SrcCopy);
}

// Screen and preview at a divisor without a prepared bitmap: the raster reduced to the
// target by the imaging reductions (one-bit rasters only up to 2000 dots a side), else
// stretched. The reduction is kept for the next repaint at the same size.
void KXDraw::drawScaled(const Bitmap& raster, const QRect& target)
{
    const bool oneBit = raster.isOneBit();
    if (oneBit && (target.width() > 2000 || target.height() > 2000)) {
        canvas->stretchDraw(target, raster);
        return;
    }
    const qint64 key = raster.image().cacheKey();
    if (reduced_.isEmpty() || key != reducedKey_ || target.size() != reducedRect_.size()) {
        Bitmap out;
        const int ok = oneBit ? imgResizeRefine1Bit(target.width(), target.height(), raster, out)
                              : imgResizeBitmap(target.width(), target.height(), raster, out);
        if (!ok) {
            reduced_ = Bitmap();
            canvas->stretchDraw(target, raster);
            return;
        }
        reduced_ = std::move(out);
        reducedKey_ = key;
        reducedRect_ = target;
    }
    canvas->draw(target.left(), target.top(), reduced_);
}

namespace {

// Each channel of the darker of two colours.
inline QRgb darkerOf(QRgb a, QRgb b)
{
    const QRgb m = 0xFF000000u;
    const QRgb r = std::min(a & 0xFF0000u, b & 0xFF0000u);
    const QRgb g = std::min(a & 0xFF00u, b & 0xFF00u);
    const QRgb bl = std::min(a & 0xFFu, b & 0xFFu);
    return m | r | g | bl;
}

// `source` halved, each dot the darkest of its 2 x 2 (channel by channel), 32 bits; the odd
// last row and column fall away as in a stretch to half the size.
QImage darkestHalf(const QImage& source)
{
    const int w = source.width() / 2, h = source.height() / 2;
    if (w <= 0 || h <= 0)
        return {};
    QImage out(w, h, QImage::Format_RGB32);
    if (out.isNull())
        return {};
    if (source.format() == QImage::Format_Grayscale8) {
        for (int y = 0; y < h; ++y) {
            const uchar* a = source.constScanLine(2 * y);
            const uchar* b = source.constScanLine(2 * y + 1);
            auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const int g = std::min(std::min(a[2 * x], a[2 * x + 1]), std::min(b[2 * x], b[2 * x + 1]));
                d[x] = qRgb(g, g, g);
            }
        }
        return out;
    }
    const QImage src = source.format() == QImage::Format_RGB32 ? source : source.convertToFormat(QImage::Format_RGB32);
    if (src.isNull())
        return {};
    for (int y = 0; y < h; ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(src.constScanLine(2 * y));
        const auto* b = reinterpret_cast<const QRgb*>(src.constScanLine(2 * y + 1));
        auto* d = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < w; ++x)
            d[x] = darkerOf(darkerOf(a[2 * x], a[2 * x + 1]), darkerOf(b[2 * x], b[2 * x + 1]));
    }
    return out;
}

} // namespace

// Divisor 8: the quarter bitmap halved once more by the darkest of each 2 x 2, as a
// black-on-white stretch keeps black; averaging it again would turn thin line work pale.
void KXDraw::drawEighth(const Bitmap& quarter, QPoint at)
{
    const qint64 key = quarter.image().cacheKey();
    if (eighth_.isEmpty() || key != eighthKey_) {
        eighth_ = Bitmap(darkestHalf(quarter.image()), pf32bit);
        eighthKey_ = key;
    }
    if (!eighth_.isEmpty())
        canvas->draw(at.x(), at.y(), eighth_);
}

// ---------------------------------------------------------------------------------------
// Styles and device points

const TLayerRec& KXDraw::rowFor(int layer, const TPRec& figure, const TLayerRec& fallback) const
{
    if (const TLay* lay = layTblGet(layer); lay && lay->layer) {
        const TLayer& list = *lay->layer;
        // A row index outside the list takes row 0.
        const int index = figure.layerIndex >= 0 && figure.layerIndex < list.count ? figure.layerIndex : 0;
        if (const TLayerRec* r = list.layerGetPtr(index))
            return *r;
    }
    return fallback;
}

int KXDraw::penWidthOf(const TLayerRec& row) const
{
    const int widthCode = row.lineCode >= 100 ? row.lineCode % 100 : row.lineCode;
    const int w = satToInt(dpm * 0.2 * widthCode);
    return w <= 0 ? 1 : w;
}

void KXDraw::SetStyleFor(int layer, const TPRec& figure)
{
    TLayerRec fallback;
    const TLayerRec* row = &rowFor(layer, figure, fallback);
    canvas->setPenColor(row->color);
    canvas->setBrushColor(row->color);
    const int styleDigit = row->lineCode >= 100 ? row->lineCode / 100 : 0;
    canvas->setPenWidth(penWidthOf(*row));
    switch (styleDigit) {
    case 1:
        lineKind = 3;
        break;
    case 2:
        lineKind = 2;
        break;
    case 3:
        lineKind = 4;
        break;
    case 4:
        lineKind = 5;
        break;
    default:
        lineKind = 1;
        break;
    }
}

int KXDraw::toDevice(const TPRec& figure)
{
    const int n = std::clamp(figure.nPts, 0, static_cast<int>(figure.pts.size()));
    if (dev_.size() < static_cast<std::size_t>(n))
        dev_.resize(static_cast<std::size_t>(n));
    if (canvas->drawingOff())
        return n; // nothing will be drawn from them
    for (int i = 0; i < n; ++i) {
        const TPoint& p = figure.pts[static_cast<std::size_t>(i)];
        dev_[static_cast<std::size_t>(i)] = QPoint(ToDevX(outMode, p.x, divisor), ToDevY(outMode, p.y, divisor));
    }
    return n;
}

void KXDraw::preparePens(int layer)
{
    const TLay* lay = layTblGet(layer);
    const int rows = lay && lay->layer ? std::max(1, lay->layer->count) : 1;
    rowPens_.clear();
    TPRec probe;
    TLayerRec fallback;
    for (int i = 0; i < rows; ++i) {
        probe.layerIndex = i;
        rowPens_.push_back(penWidthOf(rowFor(layer, probe, fallback)));
    }
}

int KXDraw::passPen(const TPRec& f) const
{
    // As rowFor picks the row: an index outside the list takes row 0.
    const bool inList = f.layerIndex >= 0 && f.layerIndex < static_cast<int>(rowPens_.size());
    return rowPens_[inList ? static_cast<std::size_t>(f.layerIndex) : 0];
}

void KXDraw::prepareReach()
{
    reachArrow_ = std::abs(markSize(cfgGetInt(kEndArrowSlot) * dpm * 0.1)) + 2;
    reachCircle_ = std::abs(markSize(cfgGetInt(kStartCircleSlot) * dpm * 0.1)) + 3;
    reachNameHeight_ = nameFontHeight();
    // Multiplying by the inverse differs from dividing by far less than the dot of slack.
    reachScale_ = 1.0 / divisor;
    reachOffX_ = outMode != 0 ? pOffsX * dpm * zoom : 0.0;
    reachOffY_ = outMode != 0 ? pOffsY * dpm * zoom : 0.0;
    reachPen_ = std::abs(dpm / printRatio * previewReduction()) + 5;
}

QRect KXDraw::FigureArea(int layer, const TPRec& figure, double dpm_)
{
    const double saved = dpm;
    dpm = dpm_;
    prepareReach();
    TLayerRec fallback;
    const QRectF box = reachBox(figure, false, penWidthOf(rowFor(layer, figure, fallback)));
    dpm = saved;
    prepareReach();
    // Far beyond any device, whole dots stay representable.
    constexpr double kFar = 1 << 28;
    const QRectF far(QPointF(-kFar, -kFar), QPointF(kFar, kFar));
    return box.intersected(far).toAlignedRect();
}

QRectF KXDraw::reachBox(const TPRec& f, bool filling, int penWidth) const
{
    // Device positions as ToDevX and ToDevY give them before truncation, which moves them by
    // less than a dot (the reach below has that dot).
    auto devX = [&](double x) { return x * reachScale_ + reachOffX_; };
    auto devY = [&](double y) { return y * reachScale_ + reachOffY_; };

    // The points' box, from the points themselves: a vertex move changes a point in place
    // and leaves the record's stored box as it was.
    const int n = std::clamp(f.nPts, 0, static_cast<int>(f.pts.size()));
    int x0 = f.labelX, y0 = f.labelY, x1 = f.labelX, y1 = f.labelY;
    if (n > 0) {
        x0 = x1 = f.pts[0].x;
        y0 = y1 = f.pts[0].y;
        for (int i = 1; i < n; ++i) {
            const TPoint& p = f.pts[static_cast<std::size_t>(i)];
            x0 = std::min(x0, p.x);
            x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y);
            y1 = std::max(y1, p.y);
        }
    }
    double left = devX(x0), right = devX(x1);
    double top = devY(y0), bottom = devY(y1);
    if (left > right)
        std::swap(left, right);
    if (top > bottom)
        std::swap(top, bottom);

    // How far beyond the points a figure may draw, in dots: the whole width of its row's pen
    // or of the arrow and circle pens, and a margin.
    const double pen = std::abs(static_cast<double>(penWidth)) + reachPen_;
    double reach = pen;
    // The stored text's length bounds its length in the file's encoding (one or two bytes
    // for each character of one to four), without converting it.
    const double bytes = static_cast<double>(f.name.size());
    // From the font height the drawing passes; 0 writes in the canvas's default height.
    auto textReach = [&](int h) {
        const double dots = h == 0 ? kCanvasDefaultFontHeight : std::abs(static_cast<double>(h));
        return (bytes + 3) * (dots + 2) + 16;
    };
    switch (f.kind) {
    case 2:
    case 3:
        reach += 3 * reachArrow_ + reachCircle_;
        break;
    case 4:
    case 6: {
        double h = 0, a = 0;
        calloutSizes(f, h, a);
        reach += textReach(f.kind == 4 ? textFontHeight(f) : satToInt(h)) + 2 * std::abs(a) +
                 10; // the text stands 10 dots below its label
        if (f.kind == 6 && n >= 3) {
            // The fourth corner of the parallelogram may lie outside the points.
            const double mx = devX(static_cast<double>(f.pts[0].x) + f.pts[2].x - f.pts[1].x);
            const double my = devY(static_cast<double>(f.pts[0].y) + f.pts[2].y - f.pts[1].y);
            left = std::min(left, mx);
            right = std::max(right, mx);
            top = std::min(top, my);
            bottom = std::max(bottom, my);
        }
        break;
    }
    case 5:
        if (n >= 2) {
            const double dx = (f.pts[1].x - static_cast<double>(f.pts[0].x)) * reachScale_;
            const double dy = (f.pts[1].y - static_cast<double>(f.pts[0].y)) * reachScale_;
            reach += std::sqrt(dx * dx + dy * dy) + 2;
        }
        break;
    default:
        break;
    }
    left -= reach;
    right += reach;
    top -= reach;
    bottom += reach;
    // Around the label: a text's vertex mark and text.
    if (!filling && f.kind == 4) {
        const double lx = devX(f.labelX), ly = devY(f.labelY);
        left = std::min(left, lx - reach);
        right = std::max(right, lx + reach);
        top = std::min(top, ly - reach);
        bottom = std::max(bottom, ly + reach);
    }
    // The name, written from half its length in bytes times a quarter of its height left of
    // the label and half its height above it (the other way for a positive height): each byte
    // at most a character height wide, the line at most twice as high.
    if (!filling && drawNames && f.kind != 4 && f.kind != 6) {
        const double h = reachNameHeight_;
        const double size = h == 0 ? kCanvasDefaultFontHeight : std::abs(h);
        const double lx = devX(f.labelX), ly = devY(f.labelY);
        const double shiftX = bytes * h / 4, shiftY = h / 2;
        const double drop = f.kind == 2 ? 12 : 0; // a leader's name stands 12 dots lower
        constexpr double slack = 8;
        left = std::min(left, lx + std::min(0.0, shiftX) - slack);
        right = std::max(right, lx + std::max(0.0, shiftX) + bytes * (size + 2) + slack);
        top = std::min(top, ly + std::min(0.0, shiftY) - slack);
        bottom = std::max(bottom, ly + std::max(0.0, shiftY) + drop + 2 * size + slack);
    }
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

namespace {
// Whether a figure's area misses the visible part (an empty part shows nothing).
inline bool misses(const QRectF& box, const QRectF& clip)
{
    return clip.isEmpty() || box.right() <= clip.left() || box.left() >= clip.right() ||
           box.bottom() <= clip.top() || box.top() >= clip.bottom();
}
} // namespace

// ---------------------------------------------------------------------------------------
// Fills

void KXDraw::FillLayer(PData* store, int layer)
{
    if (!store)
        return; // an absent store has nothing to fill
    const int count = std::min(store->count, static_cast<int>(store->recs.size()));
    preparePens(layer);
    const QRectF clip(canvas->clipRect());
    for (int i = 0; i < count; ++i) {
        const TPRec& f = store->recs[static_cast<std::size_t>(i)];
        if (f.flags == 0 || !(isPolygonKind(f.kind) || f.kind == 5))
            continue;
        if (misses(reachBox(f, true, passPen(f)), clip)) {
            // Out of view: only the brush it leaves counts for the figures after it.
            canvas->setBrushStyle(hatchKind == 3 ? BrushStyle::DiagCross : BrushStyle::Solid);
            continue;
        }
        SetStyleFor(layer, f);
        const int n = toDevice(f);
        auto shape = [&] {
            if (f.kind == 5) {
                if (n >= 2)
                    DrawCircleThrough(dev_[0], dev_[1]);
            } else {
                canvas->polygon(dev_.data(), n);
            }
        };
        if (hatchKind == 3) {
            canvas->setBrushStyle(BrushStyle::DiagCross);
            shape();
        } else {
            canvas->setBrushPattern(toneGetGraphic(hatchKind));
            canvas->setFontColor(canvas->penColor());
            const TColor back = canvas->backColor();
            canvas->setBackColor(kWhite);
            if (blackOutline)
                canvas->setPenColor(kBlack);
            shape();
            canvas->setBrushPattern(nullptr);
            canvas->setBackColor(back);
        }
    }
    // Second pass: leave the canvas plain for the figures. Figure by figure it only sets
    // the style again, so the last figure's style and whether any closed figure came by
    // leave the same canvas.
    if (count <= 0)
        return;
    bool closed = false;
    for (int i = 0; i < count && !closed; ++i)
        closed = isPolygonKind(store->recs[static_cast<std::size_t>(i)].kind);
    SetStyleFor(layer, store->recs[static_cast<std::size_t>(count - 1)]);
    canvas->setPenStyle(PenStyle::Solid);
    if (closed) {
        canvas->setBrushStyle(BrushStyle::Solid);
        canvas->setCopyMode(CopyMode::SrcCopy);
    }
}

// ---------------------------------------------------------------------------------------
// Figures

void KXDraw::drawOutline(int n)
{
    // Plain pen: from the last point through every point; else the dashed pen.
    if (lineKind == 1) {
        if (n < 1)
            return;
        ring_.assign(1, dev_[static_cast<std::size_t>(n - 1)]);
        ring_.insert(ring_.end(), dev_.begin(), dev_.begin() + n);
        lineThrough(ring_);
        return;
    }
    dashedPen().Polygon(dev_.data(), n);
}

void KXDraw::drawOpen(int n)
{
    if (lineKind == 1)
        canvas->polyline(dev_.data(), n);
    else
        dashedPen().Polyline(dev_.data(), n);
}

StyleLine& KXDraw::dashedPen()
{
    styleLine->SetWidth(canvas->penWidth());
    styleLine->SetStyle(lineKind);
    return *styleLine;
}

void KXDraw::DrawLayer(PData* store, int layer)
{
    if (!store)
        return;
    const int count = std::min(store->count, static_cast<int>(store->recs.size()));
    preparePens(layer);
    const QRectF clip(canvas->clipRect());
    for (int i = 0; i < count; ++i) {
        const TPRec& f = store->recs[static_cast<std::size_t>(i)];
        // A figure out of view is skipped whole: every figure sets what it draws with.
        if (misses(reachBox(f, false, passPen(f)), clip))
            continue;
        SetStyleFor(layer, f);
        const int n = toDevice(f);
        switch (f.kind) {
        case 0:
        case 10:
        case 11:
            drawOutline(n);
            break;
        case 1:
            drawOpen(n);
            break;
        case 2:
        case 3:
            drawLeader(f, n);
            break;
        case 4:
            drawText(f, n);
            break;
        case 5:
            if (n >= 2) {
                if (lineKind == 1) {
                    DrawCirclePoly(dev_[0], dev_[1]);
                } else {
                    dashedPen().CircleThrough(dev_[0].x(), dev_[0].y(), dev_[1].x(), dev_[1].y());
                }
            }
            break;
        case 6:
            drawCallout(f, n);
            break;
        default:
            break; // nothing but the name
        }
        drawName(f);
    }
}

void KXDraw::drawLeader(const TPRec& f, int n)
{
    const int w0 = canvas->penWidth();
    const TColor c0 = canvas->penColor();
    if ((f.flags & 2) && n >= 2) {
        double s = markSize(cfgGetInt(kEndArrowSlot) * dpm * 0.1);
        const QPoint p = dev_[static_cast<std::size_t>(n - 2)];
        const QPoint q = dev_[static_cast<std::size_t>(n - 1)];
        double theta;
        if (q.x() != p.x()) {
            theta = std::atan(static_cast<double>(q.y() - p.y()) / (q.x() - p.x()));
            if (q.x() < p.x())
                theta += kPi;
        } else if (q.y() > p.y()) {
            theta = kPi / 2;
        } else if (q.y() < p.y()) {
            theta = -kPi / 2;
        } else {
            theta = kPi;
        }
        // The line ends inside the arrowhead.
        dev_[static_cast<std::size_t>(n - 1)] =
            QPoint(satToInt(q.x() - std::cos(theta) * s * 1.5), satToInt(q.y() - std::sin(theta) * s * 1.5));
        drawOpen(n);
        if (markPen(f.flags & 8))
            s += 2;
        DrawArrowHead(q, s, theta);
        canvas->setPenWidth(w0);
        canvas->setPenColor(c0);
    } else {
        // Without the end arrow the line is plain whatever the layer's style.
        canvas->setPenWidth(w0);
        canvas->setPenColor(c0);
        canvas->polyline(dev_.data(), n);
    }
    if ((f.flags & 1) && n >= 1) {
        double r = markSize(cfgGetInt(kStartCircleSlot) * dpm * 0.1);
        if (markPen(f.flags & 4))
            r += 3;
        DrawCircle(dev_[0], satToInt(r));
        canvas->setPenWidth(w0);
        canvas->setPenColor(c0);
    }
}

// The pen of an end arrow or a start circle: a black rim a dot wide on paper, or half that
// in the figure colour. True for the rim.
bool KXDraw::markPen(bool blackRim)
{
    if (blackRim) {
        canvas->setPenWidth(satToInt(dpm / printRatio * previewReduction()));
        canvas->setPenColor(kBlack);
        return true;
    }
    canvas->setPenWidth(satToInt(dpm / printRatio * 0.5 * previewReduction()));
    return false;
}

int KXDraw::textFontHeight(const TPRec& f) const
{
    const double h = markSize(-(f.startPt.x * dpm * 0.1));
    if (sizesScaled() && h > -3 && h < 0)
        return -3; // at least 3 dots on paper
    return satToInt(h);
}

void KXDraw::calloutSizes(const TPRec& f, double& h, double& a) const
{
    h = markSize(-(f.startPt.x * dpm * 0.1));
    a = markSize(-std::abs(f.startPt.y) * dpm * 0.1);
}

// A name is as high on every page, whatever its scale; the preview shows it reduced.
int KXDraw::nameFontHeight() const
{
    return satToInt(-(cfgGetInt(kTextSizeSlot) * 0.1 * dpm) * previewReduction());
}

void KXDraw::drawText(const TPRec& f, int n)
{
    canvas->setBrushColor(kWhite);
    canvas->setFontColor(canvas->penColor());
    // A text of one point has no direction of its own: it runs horizontally.
    const double a = n >= 2 ? geoAngleDeg(f.pts[0], f.pts[1]) : 180.0;
    DrawRotatedText(ToDevX(outMode, f.labelX, divisor),
                    ToDevY(outMode, satToInt(f.labelY + 10 * divisor), divisor), a, textFontHeight(f), f.name);
    DrawVertexMark(ToDevX(outMode, f.labelX, divisor), ToDevY(outMode, f.labelY, divisor));
}

void KXDraw::drawCallout(const TPRec& f, int n)
{
    canvas->setBrushColor(kWhite);
    canvas->setFontColor(canvas->penColor());
    double h = 0, a = 0;
    calloutSizes(f, h, a);
    const int centred = f.startPt.y < 0 ? 1 : 0;
    if (n < 3)
        return;
    DrawDimension(dev_[0], dev_[1], dev_[2], satToInt(h), satToInt(a), centred, f.name);
}

void KXDraw::drawName(const TPRec& f)
{
    if (!drawNames || f.kind == 4 || f.kind == 6)
        return;
    canvas->setFontColor(kBlack);
    canvas->setBrushColor(kWhite);
    const int h = nameFontHeight();
    const int x = ToDevX(outMode, f.labelX, divisor);
    const int y = f.kind == 2 ? ToDevY(outMode, satToInt(f.labelY + 12 * divisor), divisor)
                              : ToDevY(outMode, f.labelY, divisor);
    DrawHorzText(x, y, h, f.name);
}

// ---------------------------------------------------------------------------------------
// Primitives

// Texts stand on a white background that is not painted, at font height h.
void KXDraw::beginText(int h)
{
    canvas->setBackColor(kWhite);
    canvas->setTransparent(true);
    canvas->setFontHeight(h);
}

void KXDraw::DrawHorzText(int x, int y, int h, const std::string& text)
{
    beginText(h);
    if (canvas->drawingOff())
        return; // only the text settings remain of it
    const long long H = canvas->fontHeight();
    const long long n = static_cast<long long>(cp932Length(text));
    canvas->textOut(x + static_cast<int>(n * H / 4), y + static_cast<int>(H / 2), text);
}

void KXDraw::DrawRotatedText(int x, int y, double a, int h, const std::string& text)
{
    beginText(h);
    const int saved = canvas->fontEscapement();
    canvas->setFontEscapement(satToInt((180 - a) * 10));
    const int H = canvas->fontHeight();
    canvas->textOut(x, satToInt(y - std::abs(static_cast<double>(H))), text);
    canvas->setFontEscapement(saved);
}

void KXDraw::DrawArrowHead(QPoint q, double s, double theta)
{
    const double bx = q.x() - 3 * s * std::cos(theta);
    const double by = q.y() - 3 * s * std::sin(theta);
    const QPoint pts[] = {
        q,
        QPoint(satToInt(bx + s * std::cos(theta + kPi / 2)), satToInt(by + s * std::sin(theta + kPi / 2))),
        QPoint(satToInt(bx + s * std::cos(theta - kPi / 2)), satToInt(by + s * std::sin(theta - kPi / 2))),
        q,
    };
    canvas->polygon(pts, 4);
}

void KXDraw::DrawArrowLines(double ax, double ay, double bx, double by, int size)
{
    const QPoint A(satToInt(ax), satToInt(ay));
    const QPoint B(satToInt(bx), satToInt(by));
    const double phi = A == B ? 0.0 : std::atan2(B.y() - A.y(), B.x() - A.x());
    const double r = size / 2.0;
    const double baseX = satToInt(B.x() - 3 * r * std::cos(phi));
    const double baseY = satToInt(B.y() - 3 * r * std::sin(phi));
    const QPoint wPlus(satToInt(baseX + r * std::cos(phi + kPi / 2)), satToInt(baseY + r * std::sin(phi + kPi / 2)));
    const QPoint wMinus(satToInt(baseX + r * std::cos(phi - kPi / 2)), satToInt(baseY + r * std::sin(phi - kPi / 2)));
    canvas->moveTo(A.x(), A.y());
    canvas->lineTo(B.x(), B.y());
    canvas->moveTo(wPlus.x(), wPlus.y());
    canvas->lineTo(B.x(), B.y());
    canvas->lineTo(wMinus.x(), wMinus.y());
}

void KXDraw::DrawDimension(QPoint p0, QPoint p1, QPoint p2, int h, int a, int centred,
                           const std::string& text)
{
    const QPoint m = p0 + p2 - p1;
    const QPoint nn((m.x() + p2.x()) / 2, (m.y() + p2.y()) / 2);
    const double t1 = p0 == p1 ? 0.0 : std::atan2(p0.y() - p1.y(), p0.x() - p1.x());
    const double t2 = p0 == m ? 0.0 : std::atan2(p0.y() - m.y(), p0.x() - m.x());

    beginText(h);
    const int saved = canvas->fontEscapement();
    canvas->setFontEscapement(satToInt((180 - t1 * 180 / kPi) * 10));
    const double w = canvas->textWidth(text);
    const double t = canvas->textHeight(text);
    double k = 1.1 * t;
    double g = 0;
    if (centred == 1) {
        k = 0.5 * t;
        g = text.empty() ? 0 : canvas->textWidth(text + "000");
    }
    const double c1 = std::cos(t1), s1 = std::sin(t1);
    canvas->textOut(satToInt(nn.x() + w / 2 * c1 - k * s1), satToInt(nn.y() + w / 2 * s1 + k * c1), text);
    canvas->setFontEscapement(saved);

    const double c2 = std::cos(t2), s2 = std::sin(t2);
    canvas->moveTo(p0.x(), p0.y());
    canvas->lineTo(satToInt(m.x() + h * c2), satToInt(m.y() + h * s2));
    canvas->moveTo(p1.x(), p1.y());
    canvas->lineTo(satToInt(p2.x() + h * c2), satToInt(p2.y() + h * s2));

    DrawArrowLines(nn.x() + g / 2 * c1, nn.y() + g / 2 * s1, m.x(), m.y(), a);
    DrawArrowLines(nn.x() - g / 2 * c1, nn.y() - g / 2 * s1, p2.x(), p2.y(), a);
}

void KXDraw::DrawCircle(QPoint c, int r)
{
    canvas->ellipse(c.x() - r, c.y() - r, c.x() + r, c.y() + r);
}

namespace {
int radiusThrough(QPoint c, QPoint p)
{
    const double dx = static_cast<double>(p.x()) - c.x();
    const double dy = static_cast<double>(p.y()) - c.y();
    return satToInt(std::sqrt(dx * dx + dy * dy));
}
} // namespace

void KXDraw::DrawCircleThrough(QPoint c, QPoint p) { DrawCircle(c, radiusThrough(c, p)); }

void KXDraw::DrawCirclePoly(QPoint c, QPoint p)
{
    const int r = radiusThrough(c, p);
    ring_.assign(1, QPoint(c.x() + r, c.y()));
    for (int i = 1; i <= 32; ++i) {
        const double t = 2 * kPi * i / 32;
        ring_.emplace_back(satToInt(c.x() + r * std::cos(t)), satToInt(c.y() + r * std::sin(t)));
    }
    lineThrough(ring_);
}

// Move to the first point and a line to each following one. With the copying pen that is one
// polyline (the same dots, stroked once); inverting pens draw segment by segment.
void KXDraw::lineThrough(const std::vector<QPoint>& pts)
{
    if (pts.empty())
        return;
    if (canvas->penMode() == PenMode::Copy) {
        canvas->polyline(pts.data(), static_cast<int>(pts.size()));
        canvas->moveTo(pts.back().x(), pts.back().y());
        return;
    }
    canvas->moveTo(pts.front().x(), pts.front().y());
    for (std::size_t i = 1; i < pts.size(); ++i)
        canvas->lineTo(pts[i].x(), pts[i].y());
}

void KXDraw::DrawVertexMark(int x, int y)
{
    if (outMode != 0)
        return;
    canvas->setPenWidth(1);
    canvas->moveTo(x - 2, y - 2);
    canvas->lineTo(x - 2, y + 2);
    canvas->lineTo(x + 2, y + 2);
    canvas->lineTo(x + 2, y - 2);
    canvas->lineTo(x - 2, y - 2);
}

// ---------------------------------------------------------------------------------------
// Scale bar

void KXDraw::DrawScaleBar(int width, int height)
{
    if (outMode == 0 || hrSize == 0)
        return;
    if (scaleDenom == 0)
        scaleDenom = 1000;
    const double T = (10000 / scaleDenom) * dpm * zoom; // 10 m of ground
    const double K = 4 * dpm * zoom;                   // 4 mm
    const int x0 = satToInt(width / 2 - 5 * T);
    const int x1 = satToInt(x0 + 10 * T);
    const int y = satToInt(height - 15 * dpm * zoom);
    canvas->setPenStyle(PenStyle::Solid);
    canvas->setPenColor(kBlack);
    canvas->setPenWidth(1);
    canvas->moveTo(x0, y);
    canvas->lineTo(x1, y);
    for (int i = 0; i <= 10; ++i) {
        const int x = satToInt(x0 + i * T);
        double k = K;
        if (i == 0 || i == 5 || i == 10) {
            k = 2 * K;
            canvas->setFontColor(kBlack); // not the colour the last figure left
            DrawHorzText(x, satToInt(y - 1.5 * k), 10, std::to_string(i * 10) + "m");
        }
        canvas->moveTo(x, y);
        canvas->lineTo(x, satToInt(y - k));
    }
}
