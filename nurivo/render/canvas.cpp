#include "render/canvas.h"

#include "render/bitmap.h"
#include "render/imaging.h"

#include <QFontMetrics>
#include <QPaintEngine>
#include <QPen>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>
#include <vector>

QColor colorFromTColor(TColor color)
{
    const auto v = static_cast<std::uint32_t>(color);
    return QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                  static_cast<int>((v >> 16) & 0xFF));
}

TColor tcolorFromRgb(QRgb rgb)
{
    return static_cast<TColor>(static_cast<std::uint32_t>(qRed(rgb)) |
                               (static_cast<std::uint32_t>(qGreen(rgb)) << 8) |
                               (static_cast<std::uint32_t>(qBlue(rgb)) << 16));
}

namespace {
std::atomic<bool> shortcuts{true};
} // namespace

void canvasUseShortcuts(bool on) { shortcuts = on; }

void canvasInstallFontSubstitutes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
        QFont::insertSubstitution(QStringLiteral("ＭＳ 明朝"), QStringLiteral("IPAMincho"));
        QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"));
    });
}

namespace {

bool paintableDirectly(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32 ||
           format == QImage::Format_ARGB32_Premultiplied;
}

bool displayReady(QImage::Format format)
{
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

PixelFormat pixelFormatOf(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        return pf1bit;
    case QImage::Format_Grayscale8:
    case QImage::Format_Indexed8:
        return pf8bit;
    case QImage::Format_RGB555:
        return pf15bit;
    case QImage::Format_RGB16:
        return pf16bit;
    case QImage::Format_RGB888:
        return pf24bit;
    default:
        return pf32bit;
    }
}

// Display-ready (32-bit) copies of the large rasters that the views show again and again: an
// unscaled raster is converted tile by tile as parts of it come into view, a reduced one
// whole. Entries are found by the image's cache key, which changes whenever its pixels do,
// so a stale copy is never shown; the least recently used are dropped beyond a budget.
class DisplayCache {
public:
    static DisplayCache& instance()
    {
        static DisplayCache cache;
        return cache;
    }

    static constexpr int kTile = 512;

    const QImage* tile(const QImage& image, int tx, int ty)
    {
        const Key key{image.cacheKey(), tx, ty, -1};
        if (const QImage* hit = find(key))
            return hit;
        const QRect r(tx * kTile, ty * kTile, kTile, kTile);
        QImage t = image.copy(r.intersected(image.rect())).convertToFormat(QImage::Format_RGB32);
        if (t.isNull())
            return nullptr;
        return insert(key, std::move(t));
    }

    // `source` reduced to width x height by area averaging, converted for display.
    const QImage* reduced(const QImage& source, int width, int height)
    {
        const Key key{source.cacheKey(), width, height, -2};
        if (const QImage* hit = find(key))
            return hit;
        QImage r = reduceForDisplay(source, width, height);
        if (r.isNull())
            return nullptr;
        return insert(key, std::move(r));
    }

    static QImage reduceForDisplay(const QImage& source, int width, int height)
    {
        const bool oneBit = source.depth() == 1;
        Bitmap src(source, pixelFormatOf(source));
        Bitmap out;
        const int ok = oneBit ? imgResizeRefine1Bit(width, height, src, out)
                              : imgResizeBitmap(width, height, src, out);
        if (!ok || out.width() != width || out.height() != height)
            return source.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB32);
        return out.image().convertToFormat(QImage::Format_RGB32);
    }

    void clear()
    {
        entries_.clear();
        lru_.clear();
        bytes_ = 0;
    }

private:
    using Key = std::tuple<qint64, int, int, int>;
    struct Entry {
        QImage image;
        std::list<Key>::iterator use;
    };

    const QImage* find(const Key& key)
    {
        auto it = entries_.find(key);
        if (it == entries_.end())
            return nullptr;
        lru_.splice(lru_.begin(), lru_, it->second.use);
        return &it->second.image;
    }

    const QImage* insert(const Key& key, QImage image)
    {
        const auto size = static_cast<std::size_t>(image.sizeInBytes());
        while (!lru_.empty() && bytes_ + size > kBudget) {
            auto victim = entries_.find(lru_.back());
            bytes_ -= static_cast<std::size_t>(victim->second.image.sizeInBytes());
            entries_.erase(victim);
            lru_.pop_back();
        }
        lru_.push_front(key);
        auto& e = entries_[key];
        e.image = std::move(image);
        e.use = lru_.begin();
        bytes_ += size;
        return &e.image;
    }

    static constexpr std::size_t kBudget = std::size_t{384} << 20;
    std::map<Key, Entry> entries_;
    std::list<Key> lru_;
    std::size_t bytes_ = 0;
};

// Rasters at least this large go through the display cache.
constexpr qint64 kCacheMinPixels = qint64{1} << 20;
// Reduced copies up to this size are kept for the next repaint.
constexpr qint64 kCacheMaxReduced = qint64{32} << 20;
// Rows converted at a time when a raster is scaled onto the device.
constexpr int kStripRows = 512;

// Where AND cannot be done by the device: dark pixels laid over what lies beneath as black
// with a coverage of their darkness, which multiplies the destination by the source's grey.
// For one-bit and grey rasters that is exactly the AND picture; colour rasters go by
// their luminance.
QImage darknessMask(const QImage& part)
{
    QImage grey = part.convertToFormat(QImage::Format_Grayscale8);
    QImage mask(grey.size(), QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull())
        return mask;
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* g = grey.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(mask.scanLine(y));
        for (int x = 0; x < grey.width(); ++x)
            out[x] = qRgba(0, 0, 0, 255 - g[x]);
    }
    return mask;
}

} // namespace

Canvas::Canvas(QImage& image, int dpi) : target_(&image), dpi_(dpi)
{
    QImage* surface = &image;
    if (!paintableDirectly(image.format())) {
        work_ = image.convertToFormat(QImage::Format_RGB32);
        surface = &work_;
    }
    ownPainter_ = std::make_unique<QPainter>();
    if (!surface->isNull())
        ownPainter_->begin(surface);
    painter_ = ownPainter_.get();
    device_ = surface->rect();
    visible_ = device_;
    init();
}

Canvas::Canvas(Bitmap& bitmap, int dpi) : Canvas(bitmap.image(), dpi) {}

Canvas::Canvas(QPainter& painter, int dpi, const QRect& visible) : painter_(&painter), dpi_(dpi)
{
    QPaintDevice* dev = painter.device();
    device_ = dev ? QRect(0, 0, dev->width(), dev->height()) : QRect();
    if (painter.isActive())
        device_ = painter.transform().inverted().mapRect(device_);
    visible_ = visible.isEmpty() ? device_ : visible;
    init();
}

void Canvas::init()
{
    canvasInstallFontSubstitutes();
    if (dpi_ <= 0)
        dpi_ = 96;
    fontName_ = QStringLiteral("ＭＳ ゴシック");
    if (!painter_->isActive())
        return;
    QPaintEngine* engine = painter_->paintEngine();
    // The PDF engine (also behind the printer) claims raster operations but ignores them.
    rasterOps_ = engine && engine->hasFeature(QPaintEngine::RasterOpModes) &&
                 engine->type() != QPaintEngine::Pdf && engine->type() != QPaintEngine::Picture;
    painter_->setRenderHint(QPainter::Antialiasing, false);
    painter_->setRenderHint(QPainter::TextAntialiasing, false);
    painter_->setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Pages (PDF, and the printer, which goes through the same engine) would otherwise get
    // images and brush textures as JPEG: tone dots smear and tint the paper between them, and
    // colour coding is what a sheet is for. Lossless, a page carries exactly the dots.
    if (engine && engine->type() == QPaintEngine::Pdf)
        painter_->setRenderHint(QPainter::LosslessImageRendering, true);
}

Canvas::~Canvas()
{
    if (!ownPainter_ && fontSet_ && painter_->isActive())
        painter_->setFont(callerFont_); // the painter goes back as it came
    if (ownPainter_ && ownPainter_->isActive())
        ownPainter_->end();
    if (target_ && !work_.isNull()) {
        // Back into the image's own format; a one-bit image keeps black and white by threshold.
        QImage back = target_->format() == QImage::Format_Mono ||
                              target_->format() == QImage::Format_MonoLSB
                          ? work_.convertToFormat(target_->format(), Qt::ThresholdDither)
                          : work_.convertToFormat(target_->format());
        if (!back.isNull()) {
            back.setDotsPerMeterX(target_->dotsPerMeterX());
            back.setDotsPerMeterY(target_->dotsPerMeterY());
            *target_ = std::move(back);
        }
    }
}

void Canvas::setClipRect(const QRect& rect)
{
    if (!painter_->isActive())
        return;
    if (rect.isEmpty()) {
        painter_->setClipping(false);
        visible_ = device_;
    } else {
        painter_->setClipRect(rect);
        visible_ = rect;
    }
}

void Canvas::setPenColor(TColor color) { penColor_ = color; }
void Canvas::setPenWidth(int width) { penWidth_ = width; }
void Canvas::setPenMode(PenMode mode) { penMode_ = mode; }
void Canvas::setPenStyle(PenStyle style) { penStyle_ = style; }
void Canvas::setBrushColor(TColor color) { brushColor_ = color; }

void Canvas::setBrushStyle(BrushStyle style)
{
    brushStyle_ = style;
    if (style != BrushStyle::Pattern)
        pattern_ = QImage();
}

void Canvas::setBrushPattern(const QImage* pattern)
{
    if (pattern && !pattern->isNull()) {
        pattern_ = pattern->convertToFormat(QImage::Format_Mono);
        brushStyle_ = BrushStyle::Pattern;
    } else {
        pattern_ = QImage();
        brushStyle_ = BrushStyle::Solid;
    }
}

void Canvas::setFontName(const QString& name)
{
    fontName_ = name;
    fontDirty_ = true;
}

void Canvas::setFontHeight(int height)
{
    fontHeight_ = height;
    fontDirty_ = true;
}

void Canvas::setFontColor(TColor color) { fontColor_ = color; }
void Canvas::setFontEscapement(int tenths) { escapement_ = tenths; }
void Canvas::setBackColor(TColor color) { backColor_ = color; }
void Canvas::setTransparent(bool transparent) { transparent_ = transparent; }

QPen Canvas::currentPen() const
{
    if (penStyle_ == PenStyle::Clear)
        return QPen(Qt::NoPen);
    QPen pen(colorFromTColor(penColor_));
    if (penWidth_ <= 1) {
        // A one-dot pen leaves out the end point of each line.
        pen.setWidth(1);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
    } else {
        pen.setWidth(penWidth_);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
    }
    return pen;
}

void Canvas::applyPen()
{
    painter_->setPen(currentPen());
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    if (rasterOps_) {
        if (penMode_ == PenMode::Not)
            mode = QPainter::RasterOp_NotDestination;
        else if (penMode_ == PenMode::Xor)
            mode = QPainter::RasterOp_SourceXorDestination;
    }
    painter_->setCompositionMode(mode);
}

namespace {

// What is made once and asked for again and again, by key, per thread (brushes, fonts and
// shapes are used by the thread that made them); a full cache starts afresh.
template <typename Key, typename Value, typename Make>
const Value& cached(std::map<Key, Value>& cache, const Key& key, std::size_t limit, Make make)
{
    auto it = cache.find(key);
    if (it != cache.end())
        return it->second;
    if (cache.size() >= limit)
        cache.clear();
    return cache.emplace(key, make()).first->second;
}

// Texture brushes are made once per pattern and colours: fills ask for the same few again and
// again. The 8 x 8 patterns are laid out several times over in each texture: the same dots,
// filled in longer runs.
constexpr int kTexture = 64;

} // namespace

void Canvas::applyBrush()
{
    switch (brushStyle_) {
    case BrushStyle::Clear:
        painter_->setBrush(Qt::NoBrush);
        return;
    case BrushStyle::Solid:
        painter_->setBrush(colorFromTColor(brushColor_));
        return;
    case BrushStyle::Pattern: {
        if (pattern_.isNull()) {
            painter_->setBrush(colorFromTColor(brushColor_));
            return;
        }
        // The colours are those current when the fill is made, as a device context does it.
        const QRgb ink = colorFromTColor(fontColor_).rgb();
        const QRgb paper = colorFromTColor(backColor_).rgb();
        thread_local std::map<std::tuple<qint64, QRgb, QRgb>, QBrush> brushes;
        painter_->setBrush(cached(brushes, std::tuple(pattern_.cacheKey(), ink, paper), 64, [&] {
            QImage tex(kTexture, kTexture, QImage::Format_RGB32);
            for (int y = 0; y < kTexture; ++y) {
                auto* line = reinterpret_cast<QRgb*>(tex.scanLine(y));
                for (int x = 0; x < kTexture; ++x) {
                    const int px = x % 8, py = y % 8;
                    const bool inside = px < pattern_.width() && py < pattern_.height();
                    line[x] = inside && qGray(pattern_.pixel(px, py)) < 128 ? ink : paper;
                }
            }
            return QBrush(tex);
        }));
        return;
    }
    case BrushStyle::DiagCross: {
        const QRgb ink = colorFromTColor(brushColor_).rgb();
        thread_local std::map<QRgb, QBrush> hatches;
        painter_->setBrush(cached(hatches, ink, 64, [&] {
            QImage tex(kTexture, kTexture, QImage::Format_ARGB32_Premultiplied);
            tex.fill(Qt::transparent);
            for (int y = 0; y < kTexture; ++y)
                for (int x = 0; x < kTexture; ++x)
                    if (x % 8 == y % 8 || x % 8 == 7 - y % 8)
                        tex.setPixel(x, y, ink);
            return QBrush(tex);
        }));
        return;
    }
    }
}

namespace {

using FontKey = std::pair<QString, int>;

std::shared_ptr<const Canvas::FontEntry> makeFont(const QString& name, int height)
{
    QFont f(name);
    f.setStyleStrategy(QFont::NoAntialias);
    f.setHintingPreference(QFont::PreferFullHinting);
    const int h = height == 0 ? kCanvasDefaultFontHeight : std::abs(height);
    f.setPixelSize(std::max(1, h));
    if (height > 0) {
        // A positive height is the cell height (ascent plus descent).
        const int cell = QFontMetrics(f).height();
        if (cell > 0)
            f.setPixelSize(std::max(1, static_cast<int>(std::lround(static_cast<double>(h) * h / cell))));
    }
    const QFontMetrics fm(f);
    return std::make_shared<const Canvas::FontEntry>(Canvas::FontEntry{f, fm, fm.ascent(), fm.height()});
}

} // namespace

const Canvas::FontEntry& Canvas::font()
{
    if (!fontDirty_ && font_)
        return *font_;
    // Fonts belong to the thread that made them; faces and heights in use are few.
    // Canvases keep the fonts they hold when the cache starts afresh.
    thread_local std::map<FontKey, std::shared_ptr<const FontEntry>> fonts;
    font_ = cached(fonts, FontKey(fontName_, fontHeight_), 256,
                   [&] { return makeFont(fontName_, fontHeight_); });
    fontDirty_ = false;
    return *font_;
}

void Canvas::moveTo(int x, int y) { pos_ = QPoint(x, y); }

// Lines through these points leave no dot in the visible part: the pen reaches half its width
// beyond them (round caps and joins), a one-dot pen one dot.
bool Canvas::missesView(const QPoint* points, int n) const
{
    if (n < 1 || visible_.isEmpty())
        return false;
    long long l = points[0].x(), r = l, t = points[0].y(), b = t;
    for (int i = 1; i < n; ++i) {
        l = std::min<long long>(l, points[i].x());
        r = std::max<long long>(r, points[i].x());
        t = std::min<long long>(t, points[i].y());
        b = std::max<long long>(b, points[i].y());
    }
    const long long reach = std::max(1, penWidth_) + 2;
    return r + reach < visible_.left() || l - reach > visible_.right() ||
           b + reach < visible_.top() || t - reach > visible_.bottom();
}

void Canvas::lineTo(int x, int y)
{
    const QPoint to(x, y);
    const QPoint line[] = {pos_, to};
    if (!off_ && painter_->isActive() && penStyle_ != PenStyle::Clear && !missesView(line, 2) &&
        !(to != pos_ && (lineFromCache(pos_, to) || thinLines(line, 2)))) {
        applyPen();
        if (to != pos_)
            painter_->drawLine(pos_, to);
        painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    pos_ = to;
}

namespace {

// The dots of a one-dot line from a up to, not including, b, as a device context sets them:
// one dot per step along the longer axis, the other coordinate the nearest whole dot (halves
// away from the start). Only the steps that can reach `keep` are walked.
void appendThinLine(QPoint a, QPoint b, const QRect& keep, std::vector<QPoint>& out)
{
    const std::int64_t dx = std::int64_t{b.x()} - a.x(), dy = std::int64_t{b.y()} - a.y();
    const std::int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const bool xMajor = std::abs(dx) >= std::abs(dy);
    const std::int64_t major = xMajor ? std::abs(dx) : std::abs(dy);
    const std::int64_t minor = xMajor ? std::abs(dy) : std::abs(dx);
    if (major == 0)
        return;
    const std::int64_t start = xMajor ? a.x() : a.y();
    const std::int64_t step = xMajor ? sx : sy;
    const std::int64_t keepLo = xMajor ? keep.left() : keep.top();
    const std::int64_t keepHi = xMajor ? keep.right() : keep.bottom();
    std::int64_t lo = std::max<std::int64_t>(0, step > 0 ? keepLo - start : start - keepHi);
    std::int64_t hi = std::min<std::int64_t>(major - 1, step > 0 ? keepHi - start : start - keepLo);
    for (std::int64_t i = lo; i <= hi; ++i) {
        const std::int64_t m = (2 * i * minor + major) / (2 * major);
        const std::int64_t x = xMajor ? a.x() + sx * i : a.x() + sx * m;
        const std::int64_t y = xMajor ? a.y() + sy * m : a.y() + sy * i;
        if (x >= keep.left() && x <= keep.right() && y >= keep.top() && y <= keep.bottom())
            out.emplace_back(static_cast<int>(x), static_cast<int>(y));
    }
}

} // namespace

bool Canvas::thinLinesAllowed(const QPoint* points, int n) const
{
    QPaintEngine* engine = painter_->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster ||
        painter_->deviceTransform().type() > QTransform::TxTranslate)
        return false;
    // Coordinates this far out would overflow the walk; the painter clips them itself.
    constexpr int kFar = 1 << 29;
    for (int i = 0; i < n; ++i)
        if (std::abs(points[i].x()) > kFar || std::abs(points[i].y()) > kFar)
            return false;
    return true;
}

// The painter's own one-dot lines leave out whichever end comes last in the order it draws
// them in, so that half of all lines lose their start point and set their end point; an
// inverting outline then misses or doubles its corners. On raster devices the dots are set
// as a device context sets them instead; on paper the painter's line stands.
bool Canvas::thinLines(const QPoint* points, int n)
{
    if (penStyle_ == PenStyle::Clear)
        return true; // nothing to set
    if (penWidth_ > 1 || !thinLinesAllowed(points, n))
        return false;
    dots_.clear();
    for (int i = 1; i < n; ++i)
        appendThinLine(points[i - 1], points[i], visible_, dots_);
    if (dots_.empty())
        return true;
    // Copying and inverting dots are written straight into an image device. The painter's
    // inverting points take a slow path per dot; the feedback of figure input is drawn so on
    // every mouse move.
    if (penMode_ == PenMode::Copy || penMode_ == PenMode::Not) {
        if (const std::optional<DirectTarget> dt = plainTarget(false)) {
            const bool invert = penMode_ == PenMode::Not;
            const quint32 ink = 0xFF000000u | colorFromTColor(penColor_).rgb();
            for (QPoint p : dots_) {
                const QPoint d = p + dt->shift;
                if (!dt->allowed.contains(d))
                    continue;
                quint32& px = reinterpret_cast<quint32*>(dt->bits + d.y() * dt->stride)[d.x()];
                px = invert ? px ^ 0x00FFFFFFu : ink;
            }
            return true;
        }
    }
    applyPen();
    QPen dot(colorFromTColor(penColor_));
    dot.setWidth(1);
    dot.setCapStyle(Qt::SquareCap);
    painter_->setPen(dot);
    painter_->drawPoints(dots_.data(), static_cast<int>(dots_.size()));
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    return true;
}

void Canvas::polyline(const QPoint* points, int n)
{
    if (off_ || !points || n < 2 || !painter_->isActive() || thinLines(points, n))
        return;
    applyPen();
    painter_->drawPolyline(points, n);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Canvas::polygon(const QPoint* points, int n)
{
    if (off_ || !points || n < 2 || !painter_->isActive())
        return;
    applyPen();
    applyBrush();
    // A one-dot outline is set as the lines of the closed ring, corners included, after the
    // fill; wider ones the painter strokes.
    const bool thin = penWidth_ <= 1 && thinLinesAllowed(points, n);
    if (thin)
        painter_->setPen(Qt::NoPen);
    if (!fillInBands(points, n))
        painter_->drawPolygon(points, n, Qt::OddEvenFill);
    painter_->setBrush(Qt::NoBrush);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (thin) {
        ring_.assign(points, points + n);
        ring_.push_back(points[0]);
        thinLines(ring_.data(), static_cast<int>(ring_.size()));
    }
}

// The raster engine hands a texture fill of more than about 95 runs of dots at a time to
// worker threads, which for the fills of a repaint costs far more than it gains. Filled in
// bands of rows, one clip rectangle each, that hold fewer runs (a row of an outline of n
// corners holds at most n / 2), a fill stays on this thread; the bands together cover
// exactly the pixels of the whole fill, and the outline is stroked after it, as in one call.
bool Canvas::fillInBands(const QPoint* points, int n)
{
    const int kBand = std::max(1, 95 / std::max(1, (n + 1) / 2));
    if (!shortcuts || painter_->brush().style() != Qt::TexturePattern)
        return false;
    QPaintEngine* engine = painter_->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster)
        return false;
    const QTransform t = painter_->deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()))
        return false;
    long long low = points[0].y(), high = low;
    for (int i = 1; i < n; ++i) {
        low = std::min<long long>(low, points[i].y());
        high = std::max<long long>(high, points[i].y());
    }
    // Rows the fill can reach, within the visible part.
    const int top = static_cast<int>(std::max<long long>(low - 1, visible_.top()));
    const int bottom = static_cast<int>(std::min<long long>(high + 1, visible_.bottom()));
    if (bottom - top < kBand)
        return false;
    const QBrush brush = painter_->brush();
    const QPen pen = painter_->pen();
    const QRect columns(visible_.left(), 0, visible_.width(), 1);
    for (int y = top; y <= bottom; y += kBand) {
        painter_->save();
        painter_->setPen(Qt::NoPen);
        painter_->setClipRect(QRect(columns.left(), y, columns.width(), std::min(kBand, bottom + 1 - y)),
                              Qt::IntersectClip);
        painter_->drawPolygon(points, n, Qt::OddEvenFill);
        painter_->restore();
    }
    painter_->setBrush(Qt::NoBrush);
    if (pen.style() != Qt::NoPen)
        painter_->drawPolygon(points, n, Qt::OddEvenFill);
    painter_->setBrush(brush);
    return true;
}

void Canvas::ellipse(int x1, int y1, int x2, int y2)
{
    if (off_ || !painter_->isActive())
        return;
    if (x2 < x1)
        std::swap(x1, x2);
    if (y2 < y1)
        std::swap(y1, y2);
    applyPen();
    applyBrush();
    // The box's right and bottom edges lie outside, as for every filled shape.
    painter_->drawEllipse(QRectF(x1, y1, std::max(0, x2 - x1 - 1), std::max(0, y2 - y1 - 1)));
    painter_->setBrush(Qt::NoBrush);
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Canvas::fillRect(int x1, int y1, int x2, int y2)
{
    if (off_ || !painter_->isActive() || x2 <= x1 || y2 <= y1 || brushStyle_ == BrushStyle::Clear)
        return;
    applyBrush();
    painter_->setPen(Qt::NoPen);
    painter_->fillRect(QRect(x1, y1, x2 - x1, y2 - y1), painter_->brush());
    painter_->setBrush(Qt::NoBrush);
}

int Canvas::textWidth(const std::string& text)
{
    if (off_)
        return 0;
    return font().metrics.horizontalAdvance(QString::fromStdString(text));
}

int Canvas::textHeight(const std::string&)
{
    if (off_)
        return 0;
    return font().height;
}

namespace {

// The dots a drawing call sets, drawn once in black on a transparent image: rows of runs
// relative to the call's reference point. Texts (names, labels at one angle) and the short
// pieces of dashed lines come again and again on every repaint, and glyphs at an angle and
// wide pieces with round ends are rendered afresh each time; their dots are kept and set
// straight into the device instead. The painter puts them on the same whole dots wherever
// the reference point lies, as long as every dot has non-negative device coordinates, as on
// the image they were drawn on.
struct DotShape {
    struct Run {
        int y, x0, x1; // x0 <= x < x1
    };
    std::vector<Run> runs;
    int reach = 0;       // the reference point must lie this far inside the device
    bool usable = false; // the dots are all opaque: else the call is made as it stands
};

// The dots `draw` sets on an image 2r + 1 dots square with the reference point in its middle.
// `reach`: how far left of and above the reference point the drawing places anything.
template <typename Draw>
DotShape makeDotShape(int r, int reach, int dpmX, int dpmY, Draw draw)
{
    DotShape shape;
    if (r <= 0 || r > 4096)
        return shape;
    QImage img(2 * r + 1, 2 * r + 1, QImage::Format_ARGB32_Premultiplied);
    if (img.isNull())
        return shape;
    img.fill(Qt::transparent);
    img.setDotsPerMeterX(dpmX);
    img.setDotsPerMeterY(dpmY);
    {
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setRenderHint(QPainter::TextAntialiasing, false);
        draw(p, QPoint(r, r));
    }
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width();) {
            if (line[x] == 0) {
                ++x;
                continue;
            }
            const int x0 = x;
            while (x < img.width() && line[x] == 0xFF000000u)
                ++x;
            if (x == x0)
                return shape; // a dot neither clear nor opaque black
            shape.runs.push_back({y - r, x0 - r, x - r});
        }
    }
    shape.reach = std::max(reach, 0);
    for (const DotShape::Run& run : shape.runs)
        shape.reach = std::max({shape.reach, -run.x0, -run.y});
    shape.usable = true;
    return shape;
}

using TextKey = std::tuple<QString, int, int, QString, int, int>;
using LineKey = std::tuple<int, int, int, int, int>;

// Sets the shape's dots with the reference point at device dot `p` in the colour, within
// `allowed`; false where the shape cannot stand for the drawing there.
bool setDots(const DotShape& shape, QPoint p, TColor color, uchar* bits, qsizetype stride,
             const QRect& allowed)
{
    if (!shape.usable || p.x() < shape.reach || p.y() < shape.reach)
        return false;
    const quint32 ink = 0xFF000000u | colorFromTColor(color).rgb();
    for (const DotShape::Run& run : shape.runs) {
        const int y = p.y() + run.y;
        if (y < allowed.top() || y > allowed.bottom())
            continue;
        const int x0 = std::max(p.x() + run.x0, allowed.left());
        const int x1 = std::min(p.x() + run.x1, allowed.right() + 1);
        auto* line = reinterpret_cast<quint32*>(bits + y * stride);
        if (x0 < x1)
            std::fill(line + x0, line + x1, ink);
    }
    return true;
}

} // namespace

std::optional<Canvas::DirectTarget> Canvas::plainTarget(bool painterMode) const
{
    if (!shortcuts || painter_->opacity() != 1.0 ||
        (painterMode && painter_->compositionMode() != QPainter::CompositionMode_SourceOver) ||
        (painter_->renderHints() & (QPainter::Antialiasing | QPainter::TextAntialiasing)))
        return std::nullopt;
    return directTarget();
}

// The text's dots set straight into an image device; false leaves it to the painter.
bool Canvas::textFromCache(int x, int y, const QString& s, const FontEntry& fe)
{
    if (!transparent_)
        return false;
    const std::optional<DirectTarget> dt = plainTarget(true);
    if (!dt)
        return false;
    const auto* image = static_cast<const QImage*>(painter_->paintEngine()->paintDevice());
    const int dpmX = image->dotsPerMeterX(), dpmY = image->dotsPerMeterY();
    // A new text is kept only where it will be found again as it is: near the device's top
    // or left edge it is drawn directly.
    const QPoint at = QPoint(x, y) + dt->shift;
    thread_local std::map<TextKey, DotShape> texts;
    const TextKey key(fontName_, fontHeight_, escapement_, s, dpmX, dpmY);
    if (texts.find(key) == texts.end() && (at.x() < 0 || at.y() < 0))
        return false;
    const int esc = escapement_;
    const DotShape& shape = cached(texts, key, 8192, [&] {
        const double w = fe.metrics.horizontalAdvance(s);
        const double h = fe.height;
        // The glyphs stand in the text's box, turned about the reference point.
        const QTransform turn = QTransform().rotate(-esc / 10.0);
        double left = 0, top = 0;
        for (QPointF corner : {QPointF(w, 0), QPointF(0, h), QPointF(w, h)}) {
            left = std::min(left, turn.map(corner).x());
            top = std::min(top, turn.map(corner).y());
        }
        const int reach = static_cast<int>(std::ceil(std::max(-left, -top))) + 2;
        return makeDotShape(static_cast<int>(std::ceil(std::hypot(w, h) + 2 * h)) + 2, reach, dpmX,
                            dpmY, [&](QPainter& p, QPoint o) {
                                p.setFont(fe.font);
                                p.translate(o);
                                if (esc != 0)
                                    p.rotate(-esc / 10.0);
                                p.setPen(QColor(0, 0, 0));
                                p.drawText(QPoint(0, fe.ascent), s);
                            });
    });
    return setDots(shape, at, fontColor_, dt->bits, dt->stride, dt->allowed);
}

// A short line with the copying pen, its dots set straight into an image device; false
// leaves it to the painter.
bool Canvas::lineFromCache(QPoint from, QPoint to)
{
    constexpr int kMaxPiece = 256;
    const int dx = to.x() - from.x(), dy = to.y() - from.y();
    // One-dot lines are drawn quickly as they are, and cut where they leave the clip, which
    // moves their dots; only wide pieces, stroked and filled, are kept.
    if (penMode_ != PenMode::Copy || penWidth_ <= 1 || penWidth_ > 64 ||
        std::abs(dx) > kMaxPiece || std::abs(dy) > kMaxPiece)
        return false;
    const std::optional<DirectTarget> dt = plainTarget(false);
    if (!dt)
        return false;
    const QPoint at = from + dt->shift;
    const int width = penWidth_;
    thread_local std::map<LineKey, DotShape> lines;
    const auto* image = static_cast<const QImage*>(painter_->paintEngine()->paintDevice());
    const LineKey key(dx, dy, width, image->dotsPerMeterX(), image->dotsPerMeterY());
    if (lines.find(key) == lines.end() && (at.x() < 0 || at.y() < 0))
        return false;
    const QPen pen = currentPen();
    const DotShape& shape = cached(lines, key, 8192, [&] {
        return makeDotShape(std::max(std::abs(dx), std::abs(dy)) + width + 2,
                            std::max({0, -dx, -dy}) + width + 2, image->dotsPerMeterX(),
                            image->dotsPerMeterY(), [&](QPainter& p, QPoint o) {
                                QPen black = pen;
                                black.setColor(QColor(0, 0, 0));
                                p.setPen(black);
                                p.drawLine(o, o + QPoint(dx, dy));
                            });
    });
    return setDots(shape, at, penColor_, dt->bits, dt->stride, dt->allowed);
}

void Canvas::textOut(int x, int y, const std::string& text)
{
    if (off_ || !painter_->isActive() || text.empty())
        return;
    const QString s = QString::fromStdString(text);
    const FontEntry& fe = font();
    if (textFromCache(x, y, s, fe))
        return;
    const QFont& f = fe.font;
    const QFontMetrics& fm = fe.metrics;
    // Selecting a font on the painter costs a font lookup each time: it is selected only when
    // it changes, outside the saved state.
    if (!fontSet_) {
        callerFont_ = painter_->font();
        fontSet_ = true;
    }
    if (painter_->font() != f)
        painter_->setFont(f);
    painter_->save();
    painter_->translate(x, y);
    if (escapement_ != 0)
        painter_->rotate(-escapement_ / 10.0);
    if (!transparent_)
        painter_->fillRect(QRect(0, 0, fm.horizontalAdvance(s), fe.height),
                           colorFromTColor(backColor_));
    painter_->setPen(colorFromTColor(fontColor_));
    painter_->drawText(QPoint(0, fe.ascent), s);
    painter_->restore();
}

// AND of the 32-bit pixels `part` of `source` into the device at `at` (canvas coordinates),
// straight in the device's memory: the raster engine's AND of a part of an image is slow, and
// this is the copy every repaint of the workbench makes. Only where the device is a 32-bit
// image under a whole-dot translation; false leaves the drawing to the painter.
std::optional<Canvas::DirectTarget> Canvas::directTarget() const
{
    if (!rasterOps_)
        return std::nullopt;
    QPaintEngine* engine = painter_->paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster)
        return std::nullopt;
    QPaintDevice* pd = engine->paintDevice();
    if (!pd || pd->devType() != QInternal::Image)
        return std::nullopt;
    auto* dev = static_cast<QImage*>(pd);
    if (!displayReady(dev->format()) || !dev->isDetached())
        return std::nullopt;
    const QTransform t = painter_->deviceTransform();
    if (t.type() > QTransform::TxTranslate || t.dx() != std::floor(t.dx()) || t.dy() != std::floor(t.dy()))
        return std::nullopt;
    const QPoint shift(static_cast<int>(t.dx()), static_cast<int>(t.dy()));
    // Where it may write, in device pixels: the visible part, the painter's clip, the
    // engine's system clip (a paint event's region), the image.
    QRect allowed = visible_.translated(shift).intersected(dev->rect());
    if (painter_->hasClipping()) {
        const QRegion clip = painter_->clipRegion();
        if (clip.rectCount() > 1)
            return std::nullopt;
        allowed = allowed.intersected(clip.boundingRect().translated(shift));
    }
    const QRegion system = engine->systemClip();
    if (!system.isEmpty()) {
        if (system.rectCount() > 1)
            return std::nullopt;
        allowed = allowed.intersected(system.boundingRect());
    }
    // The painter's buffer itself: writing through it keeps the engine's view of the pixels.
    return DirectTarget{const_cast<uchar*>(dev->constBits()), dev->bytesPerLine(), shift, allowed};
}

bool Canvas::blitAnd(const QImage& source, const QRect& part, QPoint at)
{
    if (!displayReady(source.format()))
        return false;
    const std::optional<DirectTarget> dt = directTarget();
    if (!dt)
        return false;
    const QPoint shift = dt->shift;
    const QRect to = QRect(at + shift, part.size()).intersected(dt->allowed);
    if (to.isEmpty())
        return true;
    const QPoint from = part.topLeft() + (to.topLeft() - (at + shift));
    uchar* base = dt->bits;
    const qsizetype stride = dt->stride;
    for (int y = 0; y < to.height(); ++y) {
        auto* d = reinterpret_cast<quint32*>(base + (to.top() + y) * stride) + to.left();
        const auto* s = reinterpret_cast<const quint32*>(source.constScanLine(from.y() + y)) + from.x();
        for (int x = 0; x < to.width(); ++x)
            d[x] &= s[x] | 0xFF000000u;
    }
    return true;
}

// Draws the source pixels `source` of `image` where the mapping of the whole image onto
// `target` puts them, through the copy mode. Only the part inside the visible rectangle is
// converted and drawn.
void Canvas::drawImagePart(const QRect& target, const QImage& image, const QRectF& source)
{
    const bool andMode = copyMode_ == CopyMode::SrcAnd;
    const bool emulateAnd = andMode && !rasterOps_;
    painter_->setCompositionMode(andMode && rasterOps_ ? QPainter::RasterOp_SourceAndDestination
                                                       : QPainter::CompositionMode_SourceOver);
    const double sx = static_cast<double>(target.width()) / image.width();
    const double sy = static_cast<double>(target.height()) / image.height();
    const QRect src = source.toAlignedRect().intersected(image.rect());
    const bool unscaled = target.size() == image.size();

    if (unscaled && !emulateAnd && image.width() * qint64{image.height()} >= kCacheMinPixels &&
        !displayReady(image.format())) {
        auto& cache = DisplayCache::instance();
        const int k = DisplayCache::kTile;
        for (int ty = src.top() / k; ty <= src.bottom() / k; ++ty)
            for (int tx = src.left() / k; tx <= src.right() / k; ++tx) {
                const QImage* t = cache.tile(image, tx, ty);
                if (!t)
                    continue;
                const QRect tileRect(tx * k, ty * k, t->width(), t->height());
                const QRect part = tileRect.intersected(src);
                const QRect inTile = part.translated(-tileRect.topLeft());
                if (!(andMode && blitAnd(*t, inTile, target.topLeft() + part.topLeft())))
                    painter_->drawImage(target.topLeft() + part.topLeft(), *t, inTile);
            }
        painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }

    if (!emulateAnd && displayReady(image.format())) {
        // Ready for the device as it is: no copy.
        if (unscaled) {
            if (!(andMode && blitAnd(image, src, target.topLeft() + src.topLeft())))
                painter_->drawImage(target.topLeft() + src.topLeft(), image, src);
        } else {
            painter_->save();
            painter_->translate(target.left(), target.top());
            painter_->scale(sx, sy);
            painter_->drawImage(QPointF(src.topLeft()), image, QRectF(src));
            painter_->restore();
        }
        painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
        return;
    }

    painter_->save();
    painter_->translate(target.left(), target.top());
    painter_->scale(sx, sy);
    for (int y0 = src.top(); y0 <= src.bottom(); y0 += kStripRows) {
        const QRect strip(src.left(), y0, src.width(), std::min(kStripRows, src.bottom() + 1 - y0));
        QImage part = image.copy(strip);
        if (emulateAnd)
            part = darknessMask(part);
        else if (!displayReady(part.format()))
            part = part.convertToFormat(QImage::Format_RGB32);
        if (part.isNull())
            break;
        painter_->drawImage(strip.topLeft(), part);
    }
    painter_->restore();
    painter_->setCompositionMode(QPainter::CompositionMode_SourceOver);
}

void Canvas::draw(int x, int y, const QImage& image)
{
    if (off_ || !painter_->isActive() || image.isNull())
        return;
    const QRect target(x, y, image.width(), image.height());
    const QRect shown = target.intersected(visible_);
    if (shown.isEmpty())
        return;
    drawImagePart(target, image, QRectF(shown.translated(-x, -y)));
}

void Canvas::draw(int x, int y, const Bitmap& bitmap) { draw(x, y, bitmap.image()); }

void Canvas::stretchDraw(const QRect& rect, const QImage& image)
{
    if (off_ || !painter_->isActive() || image.isNull() || rect.width() <= 0 || rect.height() <= 0)
        return;
    if (rect.size() == image.size()) {
        draw(rect.left(), rect.top(), image);
        return;
    }
    const QRect shown = rect.intersected(visible_);
    if (shown.isEmpty())
        return;
    const qint64 area = rect.width() * qint64{rect.height()};
    if (rect.width() <= image.width() && rect.height() <= image.height()) {
        // Reducing: average the areas so that thin dark lines stay visible, as the device's
        // black-on-white stretching keeps them.
        if (!rasterOps_ && stretchInBands(rect, shown, image))
            return;
        QImage once;
        const QImage* reduced = nullptr;
        if (rasterOps_ && area <= kCacheMaxReduced) {
            reduced = DisplayCache::instance().reduced(image, rect.width(), rect.height());
        } else {
            once = DisplayCache::reduceForDisplay(image, rect.width(), rect.height());
            reduced = once.isNull() ? nullptr : &once;
        }
        if (reduced) {
            drawImagePart(rect, *reduced, QRectF(shown.translated(-rect.topLeft())));
            return;
        }
    }
    const double sx = static_cast<double>(image.width()) / rect.width();
    const double sy = static_cast<double>(image.height()) / rect.height();
    const QRectF source((shown.left() - rect.left()) * sx - 1, (shown.top() - rect.top()) * sy - 1,
                        shown.width() * sx + 2, shown.height() * sy + 2);
    painter_->save();
    painter_->setClipRect(shown, Qt::IntersectClip);
    drawImagePart(rect, image, source);
    painter_->restore();
}

// A page's reduction is as large as the page: it is made and drawn a band of rows at a time,
// each band the same pixels as those rows of the whole reduction, so no page-size copy is
// ever held. Pages have no raster operations, so nothing is kept for a repaint either.
bool Canvas::stretchInBands(const QRect& rect, const QRect& shown, const QImage& image)
{
    const Bitmap source(image, pixelFormatOf(image));
    const int firstRow = shown.top() - rect.top();
    const int endRow = shown.bottom() + 1 - rect.top();
    const QRectF columns(shown.left() - rect.left(), 0, shown.width(), 0);
    for (int r0 = firstRow; r0 < endRow; r0 += kStripRows) {
        const int r1 = std::min(endRow, r0 + kStripRows);
        Bitmap band;
        if (!imgResizeRows(rect.width(), rect.height(), source, r0, r1, band))
            return r0 != firstRow; // not begun: the whole reduction is tried instead
        QImage part = copyMode_ == CopyMode::SrcAnd ? std::move(band.image())
                                                    : band.image().convertToFormat(QImage::Format_RGB32);
        if (part.isNull())
            return r0 != firstRow;
        drawImagePart(QRect(rect.left(), rect.top() + r0, rect.width(), r1 - r0), part,
                      QRectF(columns.left(), 0, columns.width(), r1 - r0));
    }
    return true;
}

void Canvas::stretchDraw(const QRect& target, const Bitmap& bitmap)
{
    stretchDraw(target, bitmap.image());
}

void canvasClearDisplayCache() { DisplayCache::instance().clear(); }
