#include "workbench/keptpicture.h"

#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/layer.h"
#include "render/canvas.h"
#include "render/kxdraw.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The ring's sides are whole multiples of this, so a pixel keeps its place in every 8 x 8 tone
// pattern and 64 x 64 brush texture whichever window the ring holds.
constexpr int kAlign = 64;
// Margin kept around the view at 1/1 and 1/2 (at least): rendered ahead of the view, so that
// most scrolls only copy, and what scrolled out a little way is still there.
constexpr int kMargin = 256;
// The window follows the view in steps of this, so that a move leaves a strip of this width to
// render and the view stays at least kMargin - kBand inside the window.
constexpr int kBand = 128;
// The rings around the view in which the picture is rendered ahead, nearest first.
constexpr int kRing = 64;
// The screen's resolution as the drawing sees it (dash lengths).
constexpr int kScreenDpi = 96;
// Qt's stroker cuts wide lines where they leave the device, which moves dots near its edges:
// every piece is drawn at least this far inside the image it is drawn on, as on the paint box.
constexpr int kEdge = 64;

int roundUp(int v, int step) { return (v + step - 1) / step * step; }

int floorMod(int v, int m)
{
    const int r = v % m;
    return r < 0 ? r + m : r;
}

// Calls f(box piece, ring position) for the pieces of `area` (inside a window of the ring's
// size) that lie unbroken in a ring of `ring` size.
template <class F>
void forEachPiece(const QRect& area, QSize ring, F f)
{
    for (int x = area.left(); x <= area.right();) {
        const int rx = floorMod(x, ring.width());
        const int w = std::min(area.right() + 1 - x, ring.width() - rx);
        for (int y = area.top(); y <= area.bottom();) {
            const int ry = floorMod(y, ring.height());
            const int h = std::min(area.bottom() + 1 - y, ring.height() - ry);
            f(QRect(x, y, w, h), QPoint(rx, ry));
            y += h;
        }
        x += w;
    }
}

// Where the window starts along one axis: at `at` while the view (from lo, len long) lies
// within it and less than a band off its centre; else whole bands nearer the centre, or right
// on it when the view has left the window. Kept inside the box where the ring allows, and
// taken to the box's edge once the view has come within a band of where that puts it.
int windowStart(int at, bool fresh, int lo, int len, int ring, int box)
{
    const int last = std::max(0, box - ring);
    const int centred = std::clamp(lo - (ring - len) / 2, 0, last);
    if (fresh || lo < at || lo + len > at + ring)
        return centred;
    const int bands = (centred - at) / kBand; // toward zero: the view keeps its lead
    if (bands == 0)
        return centred == 0 || centred == last ? centred : at;
    return std::clamp(at + bands * kBand, 0, last);
}

// The pixels between two rectangles along the axis where they lie farther apart (0 when they
// touch or overlap).
int gapBetween(const QRect& a, const QRect& b)
{
    return std::max({0, a.left() - b.right() - 1, b.left() - a.right() - 1, a.top() - b.bottom() - 1,
                     b.top() - a.bottom() - 1});
}

} // namespace

KeptPicture::KeptPicture()
{
    idle_.setInterval(0);
    QObject::connect(&idle_, &QTimer::timeout, &idle_, [this] {
        if (!renderAhead())
            idle_.stop();
    });
}
KeptPicture::~KeptPicture() = default;

void KeptPicture::setView(KXDraw* drawing, QSize viewSize, double dpm)
{
    if (drawing == drawing_ && viewSize == viewSize_ && dpm == dpm_)
        return;
    drawing_ = drawing;
    viewSize_ = viewSize;
    dpm_ = dpm;
    invalidateAll();
}

void KeptPicture::invalidateAll()
{
    valid_ = QRegion();
    haveState_ = false;
}

void KeptPicture::invalidateFigure(int layer, const TPRec& figure)
{
    if (!drawing_ || valid_.isEmpty())
        return;
    // The area is reckoned with the render state of the picture; with another state in force
    // (or a cross hatch, whose brush the next layers' arrowheads inherit from the fills of all
    // figures) nothing of the picture can be trusted.
    if (!haveState_ || !(stateNow(font_) == state_) || drawing_->hatchKind == 3) {
        invalidateAll();
        return;
    }
    valid_ -= drawing_->FigureArea(layer, figure, dpm_);
}

KeptPicture::State KeptPicture::stateNow(const QFont& font) const
{
    State s;
    const KXDraw& d = *drawing_;
    s.reals = {d.printRatio, d.divisor, d.zoom, d.rasterFactor, dpm_, 0, 0, 0};
    s.font = font;
    auto& v = s.ints;
    v = {d.showImage, d.outMode, d.hatchKind, d.imageOverFills, d.drawNames, d.blackOutline, d.forceRatio,
         d.pOffsX, d.pOffsY, d.hrSize, d.scaleDenom, d.layerCount, viewSize_.width(), viewSize_.height(),
         cfgGetInt(kxTextSize), cfgGetInt(kxSArrowSize), cfgGetInt(kxEArrowSize)};
    for (const Bitmap* b : {d.rasterBmp, d.halfBmp, d.quarterBmp}) {
        v.push_back(reinterpret_cast<std::intptr_t>(b));
        v.push_back(b ? b->cacheKey() : 0);
    }
    const int layers = std::clamp(d.layerCount, 0, KX_MAX_LAYERS);
    for (int i = 0; i < layers; ++i) {
        v.push_back(reinterpret_cast<std::intptr_t>(d.pdata[static_cast<std::size_t>(i)]));
        const TLay* lay = layTblGet(i);
        if (!lay || !lay->layer) {
            v.push_back(-1);
            continue;
        }
        const TLayer& rows = *lay->layer;
        v.push_back(rows.count);
        // Row 0 also stands in for indexes outside the list, so it counts even when unused.
        for (int r = 0; r < std::max(1, rows.count); ++r)
            if (const TLayerRec* row = rows.layerGetPtr(r)) {
                v.push_back(row->color);
                v.push_back(row->lineCode);
            }
    }
    return s;
}

QSize KeptPicture::ringSize() const
{
    return ring_.isNull() ? QSize() : ring_.size() - QSize(2 * kEdge, 2 * kEdge);
}

void KeptPicture::placeWindow(const QRect& shown)
{
    const QRect box(QPoint(0, 0), viewSize_);
    QSize want;
    bool whole = false;
    if (drawing_->divisor >= 4 && std::int64_t{box.width()} * box.height() <= kMaxPixels) {
        want = QSize(roundUp(box.width(), kAlign), roundUp(box.height(), kAlign));
        whole = true;
    } else {
        int margin = kMargin;
        if (drawing_->divisor >= 4) {
            // As wide a margin as the bound allows.
            const double w = shown.width(), h = shown.height();
            const double m = (-(w + h) + std::sqrt((w + h) * (w + h) - 4 * (w * h - kMaxPixels))) / 4;
            margin = std::max(kMargin, static_cast<int>(m) - kAlign);
        }
        want = QSize(roundUp(shown.width() + 2 * margin, kAlign), roundUp(shown.height() + 2 * margin, kAlign));
    }
    const QSize have = ringSize();
    const bool fits = have.width() >= want.width() && have.height() >= want.height();
    const bool oversized = std::int64_t{have.width()} * have.height() > 2 * std::int64_t{want.width()} * want.height();
    if (ring_.isNull() || !fits || oversized) {
        ring_ = QImage(want + QSize(2 * kEdge, 2 * kEdge), QImage::Format_RGB32);
        valid_ = QRegion();
        window_ = QRect();
    }
    if (ring_.isNull())
        return;
    const QSize ring = ringSize();
    if (whole) {
        window_ = QRect(QPoint(0, 0), ring);
    } else {
        // Room to scroll every way; what the old window held where the new one overlaps it
        // stays.
        const bool fresh = window_.isEmpty();
        const int x = windowStart(window_.x(), fresh, shown.x(), shown.width(), ring.width(), box.width());
        const int y = windowStart(window_.y(), fresh, shown.y(), shown.height(), ring.height(), box.height());
        window_ = QRect(QPoint(x, y), ring);
    }
    valid_ &= window_;
}

QRegion KeptPicture::ahead() const
{
    if (!drawing_ || ring_.isNull() || !haveState_ || !(stateNow(font_) == state_))
        return {};
    return QRegion(window_.intersected(QRect(QPoint(0, 0), viewSize_))) - valid_;
}

void KeptPicture::paint(QPainter& painter, const QRect& dirty, const QRect& visible)
{
    const QRect box(QPoint(0, 0), viewSize_);
    if (!drawing_ || box.isEmpty()) {
        painter.fillRect(dirty, Qt::white);
        return;
    }
    const State now = stateNow(painter.font());
    if (!haveState_ || !(now == state_)) {
        valid_ = QRegion();
        state_ = now;
        haveState_ = true;
        font_ = painter.font();
    }
    QRect shown = visible.intersected(box);
    if (shown.isEmpty())
        shown = dirty.intersected(box);
    const QRect wanted = dirty.intersected(box);
    if (shown.isEmpty() || wanted.isEmpty())
        return;
    placeWindow(shown);
    if (ring_.isNull()) {
        // No memory for the picture: the view is drawn as it is asked for.
        painter.save();
        drawArea(painter, wanted);
        painter.restore();
        return;
    }
    const QRect held = wanted.intersected(window_);
    // Only what is shown now; the rest of the window follows from idle time.
    renderRegion(QRegion(held) - valid_);
    copyOut(painter, held);
    if (shown != shown_ && !shown_.isNull())
        motion_ = shown.center() - shown_.center() + motion_ / 2;
    shown_ = shown;
    if (!idle_.isActive() && !ahead().isEmpty())
        idle_.start();
    // What the window does not hold (a dirty area beyond the visible part) is drawn directly.
    const QRegion rest = QRegion(wanted) - QRegion(window_);
    for (const QRect& r : rest) {
        painter.save();
        drawArea(painter, r);
        painter.restore();
    }
}

bool KeptPicture::renderAhead()
{
    const QRegion todo = ahead();
    if (todo.isEmpty())
        return false;
    // The nearest ring around the part last shown that has something to render, where what
    // lies the way the view has been moving counts two rings nearer: the next scrolls find
    // their strips rendered.
    QRect pick;
    int nearest = std::numeric_limits<int>::max();
    for (const QRect& r : todo) {
        const QPoint off = r.center() - shown_.center();
        const bool onTheWay = std::int64_t{off.x()} * motion_.x() + std::int64_t{off.y()} * motion_.y() > 0;
        const int gap = gapBetween(r, shown_) - (onTheWay ? 2 * kRing : 0);
        if (gap < nearest) {
            pick = r;
            nearest = gap;
        }
    }
    const int grow = (gapBetween(pick, shown_) / kRing + 1) * kRing;
    QRect piece = pick & shown_.adjusted(-grow, -grow, grow, grow);
    // No larger than a piece: at most 128 across, cut along its length.
    if (std::int64_t{piece.width()} * piece.height() > kPiecePixels) {
        constexpr int across = 128;
        if (piece.width() >= piece.height()) {
            piece.setHeight(std::min(piece.height(), across));
            piece.setWidth(static_cast<int>(std::min<std::int64_t>(piece.width(), kPiecePixels / piece.height())));
        } else {
            piece.setWidth(std::min(piece.width(), across));
            piece.setHeight(static_cast<int>(std::min<std::int64_t>(piece.height(), kPiecePixels / piece.width())));
        }
    }
    renderArea(piece);
    return true;
}

void KeptPicture::renderRegion(const QRegion& region)
{
    if (region.isEmpty())
        return;
    // Each Draw visits every figure, so few large pieces beat many small ones.
    const QRect bounds = region.boundingRect();
    std::int64_t area = 0;
    for (const QRect& r : region)
        area += std::int64_t{r.width()} * r.height();
    if (region.rectCount() > 8 || std::int64_t{bounds.width()} * bounds.height() <= 2 * area) {
        renderArea(bounds);
        return;
    }
    for (const QRect& r : region)
        renderArea(r);
}

void KeptPicture::renderArea(const QRect& area)
{
    const QSize ring = ringSize();
    const QPoint at(floorMod(area.left(), ring.width()), floorMod(area.top(), ring.height()));
    const QPoint edge(kEdge, kEdge);
    if (at.x() + area.width() <= ring.width() && at.y() + area.height() <= ring.height()) {
        QPainter p(&ring_);
        p.translate(at + edge - area.topLeft());
        drawArea(p, area);
    } else {
        // Across the ring's seam: drawn once, then laid in piece by piece.
        QImage scratch(area.size() + QSize(2 * kEdge, 2 * kEdge), QImage::Format_RGB32);
        if (scratch.isNull())
            return;
        {
            QPainter p(&scratch);
            p.translate(edge - area.topLeft());
            drawArea(p, area);
        }
        QPainter p(&ring_);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        forEachPiece(area, ring, [&](const QRect& piece, QPoint ringAt) {
            p.drawImage(ringAt + edge, scratch, piece.translated(edge - area.topLeft()));
        });
    }
    valid_ += area;
}

// The drawing in `area` (paint-box coordinates of `painter`), on white, as a full Draw of the
// paint box gives it there.
void KeptPicture::drawArea(QPainter& painter, const QRect& area)
{
    painter.setFont(font_);
    painter.setClipRect(area);
    painter.fillRect(area, Qt::white);
    Canvas canvas(painter, kScreenDpi, area);
    drawing_->Draw(&canvas, viewSize_.width(), viewSize_.height(), dpm_);
}

void KeptPicture::copyOut(QPainter& painter, const QRect& area) const
{
    if (area.isEmpty())
        return;
    const QPainter::CompositionMode mode = painter.compositionMode();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    forEachPiece(area, ringSize(), [&](const QRect& piece, QPoint ringAt) {
        painter.drawImage(piece.topLeft(), ring_, QRect(ringAt + QPoint(kEdge, kEdge), piece.size()));
    });
    painter.setCompositionMode(mode);
}
