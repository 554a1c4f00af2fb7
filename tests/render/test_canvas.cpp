// Canvas: pen, modes, brushes, texts and bitmap copies give the pixels a device context gives.
#include "render/bitmap.h"
#include "render/canvas.h"
#include "render/tone.h"

#include <QFileInfo>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPainter>
#include <QPdfWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "renderapp.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using rendertest::app;

using rendertest::whiteImage;

bool isBlack(const QImage& img, int x, int y) { return img.pixel(x, y) == qRgb(0, 0, 0); }

// A paint engine that, like the PDF and printer engines, takes no raster operations: it
// draws on an image and ignores composition modes other than plain painting.
class NoRasterOpEngine : public QPaintEngine {
public:
    explicit NoRasterOpEngine(QImage* img)
        : QPaintEngine(QPaintEngine::PaintEngineFeatures(QPaintEngine::AllFeatures) & ~QPaintEngine::PaintEngineFeatures(QPaintEngine::RasterOpModes)), img_(img)
    {
    }
    bool begin(QPaintDevice*) override { return inner_.begin(img_); }
    bool end() override { return inner_.end(); }
    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyTransform)
            inner_.setTransform(state.transform());
        if (state.state() & DirtyPen)
            inner_.setPen(state.pen());
        if (state.state() & DirtyBrush)
            inner_.setBrush(state.brush());
        if (state.state() & DirtyClipEnabled)
            inner_.setClipping(state.isClipEnabled());
        if (state.state() & DirtyClipRegion)
            inner_.setClipRegion(state.clipRegion(), state.clipOperation());
        if (state.state() & DirtyClipPath)
            inner_.setClipPath(state.clipPath(), state.clipOperation());
        inner_.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    void drawPixmap(const QRectF& r, const QPixmap& pm, const QRectF& sr) override
    {
        inner_.drawPixmap(r, pm, sr);
    }
    void drawImage(const QRectF& r, const QImage& image, const QRectF& sr,
                   Qt::ImageConversionFlags) override
    {
        inner_.drawImage(r, image, sr);
    }
    void drawPath(const QPainterPath& path) override { inner_.drawPath(path); }
    void drawRects(const QRectF* rects, int n) override { inner_.drawRects(rects, n); }
    void drawPolygon(const QPointF* points, int n, PolygonDrawMode mode) override
    {
        if (mode == PolylineMode)
            inner_.drawPolyline(points, n);
        else
            inner_.drawPolygon(points, n, mode == WindingMode ? Qt::WindingFill : Qt::OddEvenFill);
    }
    Type type() const override { return QPaintEngine::User; }

private:
    QImage* img_;
    QPainter inner_;
};

class NoRasterOpDevice : public QPaintDevice {
public:
    explicit NoRasterOpDevice(QImage* img) : img_(img), engine_(img) {}
    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
            return img_->width();
        case PdmHeight:
            return img_->height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 96;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return static_cast<int>(devicePixelRatioFScale());
        default:
            return 0;
        }
    }

private:
    QImage* img_;
    mutable NoRasterOpEngine engine_;
};

// A view of `size` scrolled by `scroll` painted through a canvas, with or without the
// canvas's shortcuts.
QImage paintScrolled(QPoint scroll, QSize size, bool shortcuts, const std::function<void(Canvas&)>& draw)
{
    canvasUseShortcuts(shortcuts);
    QImage img = whiteImage(size.width(), size.height());
    {
        QPainter p(&img);
        p.translate(-scroll);
        const QRect view(scroll, size);
        p.setClipRect(view);
        Canvas c(p, 96, view);
        draw(c);
    }
    canvasUseShortcuts(true);
    return img;
}

} // namespace

TEST(Canvas, OneDotLineLeavesOutItsEndPointAndKeepsThePosition)
{
    app();
    QImage img = whiteImage(40, 10);
    {
        Canvas c(img);
        c.moveTo(2, 3);
        c.lineTo(12, 3);
        EXPECT_EQ(c.penPos(), QPoint(12, 3));
    }
    for (int x = 2; x < 12; ++x)
        EXPECT_TRUE(isBlack(img, x, 3)) << x;
    EXPECT_FALSE(isBlack(img, 12, 3));
    EXPECT_FALSE(isBlack(img, 1, 3));
}

TEST(Canvas, OneDotLinesSetTheirStartAndLeaveOutTheirEndInEveryDirection)
{
    app();
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < 200; ++i) {
        const QPoint a(rng->bounded(2, 38), rng->bounded(2, 38));
        const QPoint b(rng->bounded(2, 38), rng->bounded(2, 38));
        if (a == b)
            continue;
        QImage img = whiteImage(40, 40);
        {
            Canvas c(img);
            c.moveTo(a.x(), a.y());
            c.lineTo(b.x(), b.y());
        }
        ASSERT_TRUE(isBlack(img, a.x(), a.y())) << a.x() << "," << a.y() << " to " << b.x() << "," << b.y();
        ASSERT_FALSE(isBlack(img, b.x(), b.y())) << a.x() << "," << a.y() << " to " << b.x() << "," << b.y();
    }
    // An open polyline likewise leaves out only its last point; a closed outline with an
    // inverting pen so inverts every corner once.
    QImage img = whiteImage(40, 40);
    {
        Canvas c(img);
        const QPoint open[] = {{30, 30}, {10, 25}, {5, 5}};
        c.polyline(open, 3);
        c.setPenMode(PenMode::Not);
        c.moveTo(20, 5);
        for (QPoint p : {QPoint(35, 5), QPoint(35, 20), QPoint(20, 20), QPoint(20, 5)})
            c.lineTo(p.x(), p.y());
    }
    EXPECT_TRUE(isBlack(img, 30, 30));
    EXPECT_TRUE(isBlack(img, 10, 25));
    EXPECT_FALSE(isBlack(img, 5, 5));
    for (QPoint corner : {QPoint(20, 5), QPoint(35, 5), QPoint(35, 20), QPoint(20, 20)})
        EXPECT_TRUE(isBlack(img, corner.x(), corner.y())) << corner.x() << "," << corner.y();
}

TEST(Canvas, OneDotOutlinesOfFilledShapesSetEveryCorner)
{
    app();
    auto* rng = QRandomGenerator::global();
    for (int i = 0; i < 100; ++i) {
        std::vector<QPoint> pts;
        for (int k = 0; k < 5; ++k)
            pts.emplace_back(rng->bounded(2, 58), rng->bounded(2, 58));
        QImage img = whiteImage(60, 60);
        {
            Canvas c(img);
            c.setBrushColor(0x00FFFF00);
            c.polygon(pts.data(), static_cast<int>(pts.size()));
        }
        for (QPoint p : pts)
            ASSERT_TRUE(isBlack(img, p.x(), p.y())) << i << ": " << p.x() << "," << p.y();
    }
}

TEST(Canvas, InvertingPensRestoreThePixelsWhenDrawnTwice)
{
    app();
    for (PenMode mode : {PenMode::Not, PenMode::Xor}) {
        QImage img = whiteImage(40, 40);
        {
            QPainter p(&img);
            p.fillRect(0, 0, 20, 40, QColor(10, 200, 30));
        }
        const QImage before = img;
        {
            Canvas c(img);
            c.setPenMode(mode);
            c.setPenColor(0x00FF00FF);
            c.setPenWidth(2);
            for (int pass = 0; pass < 2; ++pass) {
                c.moveTo(5, 5);
                c.lineTo(5, 30);
                c.lineTo(30, 30);
                c.lineTo(30, 5);
                c.lineTo(5, 5);
                if (pass == 0) {
                    EXPECT_NE(img, before);
                }
            }
        }
        EXPECT_EQ(img, before) << static_cast<int>(mode);
    }
}

TEST(Canvas, ToneBrushTakesTextAndBackgroundColoursAnchoredAtTheOrigin)
{
    app();
    const QImage* tone = toneGetGraphic(0);
    ASSERT_NE(tone, nullptr);
    QImage img = whiteImage(40, 40);
    {
        Canvas c(img);
        c.setBrushPattern(tone);
        c.setFontColor(0x000000FF); // red
        c.setBackColor(0x00FFFF00); // cyan
        c.fillRect(3, 5, 37, 35);
    }
    for (int y = 5; y < 35; ++y)
        for (int x = 3; x < 37; ++x) {
            const bool dot = tone->pixelIndex(x % 8, y % 8) == 0;
            ASSERT_EQ(img.pixel(x, y), dot ? qRgb(255, 0, 0) : qRgb(0, 255, 255)) << x << "," << y;
        }
    EXPECT_EQ(img.pixel(2, 5), qRgb(255, 255, 255));
}

TEST(Canvas, ToneDotsStayOnTheCanvasOriginWhenThePainterIsScrolled)
{
    app();
    QImage img = whiteImage(32, 32);
    {
        QPainter p(&img);
        p.translate(-5, -3); // the view scrolled by (5, 3)
        Canvas c(p, 96, QRect(5, 3, 32, 32));
        c.setBrushPattern(toneGetGraphic(2));
        c.setFontColor(0);
        c.setBackColor(0xFFFFFF);
        c.fillRect(0, 0, 100, 100);
    }
    const QImage* tone = toneGetGraphic(2);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(isBlack(img, x, y), tone->pixelIndex((x + 5) % 8, (y + 3) % 8) == 0);
}

TEST(Canvas, TallToneAndHatchFillsGiveThePixelsOfOnePlainFill)
{
    app();
    auto* rng = QRandomGenerator::global();
    struct Case {
        QPoint scroll;
        int radius;
        int penWidth;
        bool hatch;
    };
    for (const Case& k : {Case{{0, 0}, 200, 1, false}, Case{{-37, 211}, 120, 6, false},
                          Case{{613, -5}, 300, 9, true}, Case{{3, 3}, 40, 2, true}}) {
        std::vector<std::vector<QPoint>> shapes;
        for (int i = 0; i < 12; ++i) {
            const QPoint c(k.scroll.x() + rng->bounded(320), k.scroll.y() + rng->bounded(240));
            std::vector<QPoint> pts;
            for (int j = 3 + rng->bounded(9); j > 0; --j)
                pts.emplace_back(c.x() + rng->bounded(-k.radius, k.radius + 1),
                                 c.y() + rng->bounded(-k.radius, k.radius + 1));
            shapes.push_back(pts);
        }
        auto paint = [&](bool shortcuts) {
            return paintScrolled(k.scroll, QSize(320, 240), shortcuts, [&](Canvas& c) {
                c.setPenWidth(k.penWidth);
                for (std::size_t i = 0; i < shapes.size(); ++i) {
                    c.setPenColor(static_cast<TColor>(0x102030 * i));
                    c.setFontColor(static_cast<TColor>(0x0000FF + 0x1100 * i));
                    c.setBackColor(0xFFFFFF);
                    if (k.hatch) {
                        c.setBrushColor(static_cast<TColor>(0xFF0000 + 0x11 * i));
                        c.setBrushStyle(BrushStyle::DiagCross);
                    } else {
                        c.setBrushPattern(toneGetGraphic(static_cast<int>(i % 3)));
                    }
                    c.polygon(shapes[i].data(), static_cast<int>(shapes[i].size()));
                }
            });
        };
        EXPECT_EQ(paint(true), paint(false)) << k.scroll.x() << "," << k.scroll.y();
    }
}

TEST(Canvas, TextsFromTheTextCacheGiveThePixelsOfTextsDrawnAfresh)
{
    app();
    struct Case {
        const char* text;
        int height;
        int escapement;
    };
    const Case cases[] = {{"123-4", -12, 0},   {"宅地", -47, 0},     {"A-12", -47, 1234},
                          {"道路", -70, 450},  {"名前ABC", 20, 2700}, {"x", -5, 3599},
                          {"長い名前の道路", -9, -300}};
    // Reference points inside, near and across the device's edges, on a scrolled painter.
    const QPoint points[] = {{150, 120}, {40, 30}, {3, 200}, {290, 1}, {-20, 100}, {100, -8}};
    for (const Case& k : cases) {
        auto paint = [&](bool shortcuts) {
            const QPoint scroll(-17, 9);
            return paintScrolled(scroll, QSize(300, 240), shortcuts, [&](Canvas& c) {
                c.setTransparent(true);
                c.setFontHeight(k.height);
                c.setFontEscapement(k.escapement);
                for (int round = 0; round < 2; ++round)
                    for (QPoint at : points) {
                        c.setFontColor(static_cast<TColor>(0x2040F0 + 0x10 * at.x() + round));
                        c.textOut(at.x() + scroll.x(), at.y() + scroll.y(), k.text);
                    }
            });
        };
        const QImage fresh = paint(false);
        EXPECT_NE(fresh, whiteImage(300, 240)) << k.text;
        EXPECT_EQ(paint(true), fresh) << k.text << " " << k.height << " " << k.escapement;
    }
}

TEST(Canvas, ShortWideLinesFromTheLineCacheGiveThePixelsOfLinesDrawnAfresh)
{
    app();
    auto* rng = QRandomGenerator::global();
    struct Case {
        QPoint scroll;
        int width;
    };
    for (const Case& k : {Case{{0, 0}, 2}, Case{{-41, 17}, 3}, Case{{250, -90}, 6}, Case{{5, 5}, 9},
                          Case{{-13, 29}, 1}}) {
        // Pieces as a dashed pen cuts them, some across the view's edges, each drawn twice
        // so that the second comes from the cache.
        std::vector<std::pair<QPoint, QPoint>> pieces;
        for (int i = 0; i < 60; ++i) {
            const QPoint a(k.scroll.x() + rng->bounded(-20, 300), k.scroll.y() + rng->bounded(-20, 220));
            pieces.emplace_back(a, a + QPoint(rng->bounded(-30, 31), rng->bounded(-30, 31)));
        }
        auto paint = [&](bool shortcuts) {
            return paintScrolled(k.scroll, QSize(280, 200), shortcuts, [&](Canvas& c) {
                c.setPenWidth(k.width);
                for (int round = 0; round < 2; ++round)
                    for (auto [a, b] : pieces) {
                        c.setPenColor(static_cast<TColor>(0x30A000 + a.x() + round));
                        c.moveTo(a.x() + 3 * round, a.y());
                        c.lineTo(b.x() + 3 * round, b.y());
                    }
            });
        };
        EXPECT_EQ(paint(true), paint(false)) << k.width;
    }
}

TEST(Canvas, DiagonalCrossHatchKeepsWhatLiesBeneathInItsGaps)
{
    app();
    QImage img = whiteImage(16, 16);
    img.fill(QColor(0, 0, 255));
    {
        Canvas c(img);
        c.setBrushStyle(BrushStyle::DiagCross);
        c.setBrushColor(0x000000FF);
        c.fillRect(0, 0, 16, 16);
    }
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(7, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(9, 9), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(3, 0), qRgb(0, 0, 255));
}

TEST(Canvas, TextStandsBelowAndRightOfItsPointAndTurnsWithTheEscapement)
{
    app();
    struct Case {
        int escapement;
        QRect expected; // where every inked pixel must lie, relative to the text point
    };
    const std::string text = "ABC";
    for (const Case& k : {Case{0, QRect(0, 0, 200, 40)}, Case{900, QRect(0, -200, 40, 201)}}) {
        QImage img = whiteImage(300, 300);
        int width = 0;
        int height = 0;
        {
            Canvas c(img);
            c.setFontHeight(-20);
            c.setTransparent(true);
            c.setFontEscapement(k.escapement);
            width = c.textWidth(text);
            height = c.textHeight(text);
            c.textOut(50, 250, text);
        }
        EXPECT_GT(width, 20);
        EXPECT_GE(height, 20);
        EXPECT_LE(height, 30);
        int inked = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 300; ++x)
                if (img.pixel(x, y) != qRgb(255, 255, 255)) {
                    ++inked;
                    ASSERT_TRUE(k.expected.contains(x - 50, y - 250)) << k.escapement << ": " << x << "," << y;
                }
        EXPECT_GT(inked, 30);
    }
}

TEST(Canvas, OpaqueTextFillsItsBoxWithTheBackgroundColour)
{
    app();
    for (bool transparent : {false, true}) {
        QImage img = whiteImage(100, 40);
        img.fill(QColor(0, 0, 255));
        {
            Canvas c(img);
            c.setFontHeight(-16);
            c.setBackColor(0x0000FF00);
            c.setTransparent(transparent);
            c.textOut(5, 5, "i");
        }
        EXPECT_EQ(img.pixel(6, 6), transparent ? qRgb(0, 0, 255) : qRgb(0, 255, 0));
    }
}

TEST(Canvas, JapaneseFacesResolveToTheIpaFaces)
{
    app();
    canvasInstallFontSubstitutes();
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(QFontInfo(f).family(), QStringLiteral("IPAGothic"));
    QFont m(QStringLiteral("ＭＳ 明朝"));
    EXPECT_EQ(QFontInfo(m).family(), QStringLiteral("IPAMincho"));
}

namespace {

// A one-bit raster: a black frame and a black line in the middle on white.
QImage lineRaster(int w, int h)
{
    QImage r(w, h, QImage::Format_Mono);
    r.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    r.fill(1);
    for (int x = 0; x < w; ++x)
        r.setPixel(x, h / 2, 0);
    for (int y = 0; y < h; ++y)
        r.setPixel(w / 3, y, 0);
    return r;
}

void paintFills(QPainter& p)
{
    p.fillRect(0, 0, 40, 40, QColor(255, 0, 0));
    p.fillRect(40, 0, 40, 40, QColor(0, 128, 255));
}

} // namespace

TEST(Canvas, AndCopyLaysDarkLineWorkOverFillsAlsoWhereTheDeviceCannotAnd)
{
    app();
    const QImage raster = lineRaster(80, 40);
    QImage direct = whiteImage(80, 40);
    {
        QPainter p(&direct);
        paintFills(p);
        Canvas c(p, 96);
        ASSERT_TRUE(c.hasRasterOps());
        c.setCopyMode(CopyMode::SrcAnd);
        c.draw(0, 0, raster);
    }
    EXPECT_TRUE(isBlack(direct, 5, 20));
    EXPECT_EQ(direct.pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(direct.pixel(60, 5), qRgb(0, 128, 255));

    QImage emulated = whiteImage(80, 40);
    {
        NoRasterOpDevice dev(&emulated);
        QPainter p(&dev);
        paintFills(p);
        Canvas c(p, 96);
        ASSERT_FALSE(c.hasRasterOps());
        c.setCopyMode(CopyMode::SrcAnd);
        c.draw(0, 0, raster);
        c.setCopyMode(CopyMode::SrcCopy);
    }
    EXPECT_EQ(emulated, direct);
}

TEST(Canvas, LargeRasterShowsItsCurrentPixelsInEveryVisiblePart)
{
    app();
    QImage raster(1300, 900, QImage::Format_Mono);
    raster.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    auto* rng = QRandomGenerator::global();
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x)
            raster.setPixel(x, y, rng->bounded(2));
    for (int round = 0; round < 2; ++round) {
        const QRect view(300 + round * 7, 200, 640, 480);
        QImage out = whiteImage(view.width(), view.height());
        {
            QPainter p(&out);
            p.translate(-view.topLeft());
            Canvas c(p, 96, view);
            c.draw(0, 0, raster);
        }
        const QImage expected = raster.copy(view).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(out, expected) << round;
        raster.setPixel(view.left() + 10, view.top() + 10, 1 - raster.pixelIndex(view.left() + 10, view.top() + 10));
    }
}

TEST(Canvas, AndCopyOfALargeRasterStaysInsideTheVisiblePartOfAScrolledView)
{
    app();
    QImage raster(1200, 1000, QImage::Format_Mono);
    raster.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    auto* rng = QRandomGenerator::global();
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x)
            raster.setPixel(x, y, rng->bounded(4) ? 1 : 0);
    const QRect view(333, 211, 300, 200);
    const QRect visible(340, 220, 250, 150); // a smaller paint rectangle inside the view
    QImage out(view.size(), QImage::Format_RGB32);
    out.fill(QColor(200, 100, 50));
    {
        QPainter p(&out);
        p.translate(-view.topLeft());
        p.setClipRect(visible);
        Canvas c(p, 96, visible);
        c.setCopyMode(CopyMode::SrcAnd);
        c.draw(0, 0, raster);
    }
    for (int y = 0; y < view.height(); ++y)
        for (int x = 0; x < view.width(); ++x) {
            const QPoint at = QPoint(x, y) + view.topLeft();
            const bool black = visible.contains(at) && raster.pixelIndex(at.x(), at.y()) == 0;
            ASSERT_EQ(out.pixel(x, y), black ? qRgb(0, 0, 0) : qRgb(200, 100, 50)) << at.x() << "," << at.y();
        }
}

TEST(Canvas, ReducedOneBitRasterKeepsItsThinLines)
{
    app();
    const QImage raster = lineRaster(400, 400);
    QImage out = whiteImage(100, 100);
    {
        Canvas c(out);
        c.stretchDraw(QRect(0, 0, 100, 100), raster);
    }
    EXPECT_LT(qGray(out.pixel(20, 50)), 255);
    EXPECT_EQ(out.pixel(80, 10), qRgb(255, 255, 255));
}

TEST(Canvas, DrawingOnAOneBitBitmapKeepsItOneBit)
{
    app();
    Bitmap bmp(30, 10, pf1bit);
    ASSERT_FALSE(bmp.isEmpty());
    {
        Canvas c(bmp);
        c.moveTo(0, 5);
        c.lineTo(30, 5);
    }
    EXPECT_TRUE(bmp.isOneBit());
    EXPECT_EQ(bmp.image().depth(), 1);
    EXPECT_EQ(qGray(bmp.image().pixel(10, 5)), 0);
    EXPECT_EQ(qGray(bmp.image().pixel(10, 2)), 255);
}

TEST(Canvas, PdfPageTakesAndCopiesTextsAndLinesWithoutRasterOperations)
{
    app();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("page.pdf"));
    {
        QPdfWriter pdf(path);
        pdf.setResolution(300);
        QPainter p(&pdf);
        Canvas c(p, pdf.resolution());
        EXPECT_FALSE(c.hasRasterOps());
        EXPECT_EQ(c.dpiX(), 300);
        c.setBrushPattern(toneGetGraphic(1));
        const QPoint tri[] = {{10, 10}, {400, 10}, {200, 300}};
        c.polygon(tri, 3);
        c.setCopyMode(CopyMode::SrcAnd);
        c.stretchDraw(QRect(0, 0, 600, 500), lineRaster(300, 250));
        c.setCopyMode(CopyMode::SrcCopy);
        c.setPenMode(PenMode::Not); // no inversion on paper: drawn as a plain line
        c.moveTo(0, 0);
        c.lineTo(100, 100);
        c.setFontEscapement(900);
        c.textOut(50, 400, "地番 12");
    }
    EXPECT_GT(QFileInfo(path).size(), 500);
}
