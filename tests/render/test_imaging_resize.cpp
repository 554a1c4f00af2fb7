// Reductions: sizes and formats of the targets, area averaging against a plain reference,
// thin lines that must survive, and failures that leave the target alone.
#include "render/imaging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

namespace {

Bitmap monoWithInk(int w, int h, const std::function<bool(int, int)>& ink)
{
    Bitmap bmp(w, h, pf1bit); // {black, white}, filled white
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (ink(x, y))
                bmp.image().setPixel(x, y, 0);
    return bmp;
}

int greyOf(const Bitmap& bmp, int x, int y) { return qGray(bmp.image().pixel(x, y)); }

TEST(Resize, TargetSizesAndFormats)
{
    const struct {
        const char* name;
        int w, h;
        PixelFormat source;
        int tw, th;
        PixelFormat target;
    } cases[] = {
        {"one bit, quarter", 4000, 3000, pf1bit, 1000, 750, pf8bit},
        {"grey, quarter", 4000, 3000, pf8bit, 1000, 750, pf8bit},
        {"colour keeps its format", 4000, 3000, pf24bit, 1000, 750, pf24bit},
        {"32 bit keeps its format", 400, 300, pf32bit, 100, 75, pf32bit},
        {"16 bit keeps its format", 400, 300, pf16bit, 100, 75, pf16bit},
        {"odd size, half", 1001, 603, pf1bit, 500, 301, pf8bit},
        {"odd size, quarter", 1001, 603, pf1bit, 250, 150, pf8bit},
        {"odd colour size, half", 1001, 603, pf24bit, 500, 301, pf24bit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bitmap src(c.w, c.h, c.source);
        Bitmap target;
        const int ok = c.source == pf1bit ? imgResizeRefine1Bit(c.tw, c.th, src, target)
                                          : imgResizeBitmap(c.tw, c.th, src, target);
        ASSERT_NE(ok, 0);
        EXPECT_EQ(target.width(), c.tw);
        EXPECT_EQ(target.height(), c.th);
        EXPECT_EQ(target.pixelFormat(), c.target);
        EXPECT_EQ(target.image().pixel(c.tw - 1, c.th - 1), qRgb(255, 255, 255));
        if (c.source == pf1bit) { // both reductions take one-bit sources to grey
            Bitmap other;
            ASSERT_NE(imgResizeBitmap(c.tw, c.th, src, other), 0);
            EXPECT_EQ(other.pixelFormat(), pf8bit);
        }
    }
}

TEST(Resize, OnePixelLinesSurviveAQuarterReductionAsGrey)
{
    // A vertical and a horizontal line, one pixel wide, on white; neither on a multiple of 4.
    const Bitmap src = monoWithInk(400, 400, [](int x, int y) { return x == 101 || y == 50; });
    Bitmap q;
    ASSERT_NE(imgResizeRefine1Bit(100, 100, src, q), 0);
    ASSERT_EQ(q.image().format(), QImage::Format_Grayscale8);
    EXPECT_EQ(greyOf(q, 25, 80), 191); // a quarter of the cell is ink
    EXPECT_EQ(greyOf(q, 60, 12), 191);
    EXPECT_EQ(greyOf(q, 25, 12), 143); // the crossing: 7 of 16 pixels are ink, 255 * 9 / 16
    EXPECT_EQ(greyOf(q, 60, 80), 255);
    EXPECT_EQ(greyOf(q, 24, 80), 255);
}

// Each target pixel is the mean of the source area it covers, computed in doubles.
double referenceMean(const QImage& src, int tw, int th, int tx, int ty, int channel)
{
    const double sx = double(src.width()) / tw, sy = double(src.height()) / th;
    double sum = 0;
    for (int y = 0; y < src.height(); ++y)
        for (int x = 0; x < src.width(); ++x) {
            const double ox = std::max(0.0, std::min(x + 1.0, (tx + 1) * sx) - std::max(double(x), tx * sx));
            const double oy = std::max(0.0, std::min(y + 1.0, (ty + 1) * sy) - std::max(double(y), ty * sy));
            const QRgb c = src.pixel(x, y);
            sum += ox * oy * (channel == 0 ? qRed(c) : channel == 1 ? qGreen(c) : qBlue(c));
        }
    return sum / (sx * sy);
}

TEST(Resize, AreaAverageMatchesReferenceForUnevenFactors)
{
    Bitmap colour(13, 9, pf24bit);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x)
            colour.image().setPixel(x, y, qRgb(x * 19 % 256, y * 29 % 256, (x * y * 7) % 256));
    const struct {
        int tw, th;
    } sizes[] = {{5, 4}, {3, 2}, {13, 9}, {1, 1}, {20, 11}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s.tw << "x" << s.th);
        const Bitmap out = imgResize(colour, s.tw, s.th);
        ASSERT_FALSE(out.isEmpty());
        for (int y = 0; y < s.th; ++y)
            for (int x = 0; x < s.tw; ++x)
                for (int ch = 0; ch < 3; ++ch) {
                    const QRgb c = out.image().pixel(x, y);
                    const int got = ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
                    EXPECT_NEAR(got, referenceMean(colour.image(), s.tw, s.th, x, y, ch), 0.51)
                        << x << "," << y << " channel " << ch;
                }
    }
}

TEST(Resize, SheetSizedReductionMatchesBlockCounts)
{
    // Large enough to be reduced in several bands at once; every 4 x 4 block counted by hand.
    const int w = 2000, h = 2400;
    auto ink = [](int x, int y) { return (x * 7919 + y * 104729 + x * y) % 11 < 4; };
    const Bitmap src = monoWithInk(w, h, ink);
    Bitmap q;
    ASSERT_NE(imgResizeRefine1Bit(w / 4, h / 4, src, q), 0);
    int wrong = 0;
    for (int ty = 0; ty < h / 4; ++ty)
        for (int tx = 0; tx < w / 4; ++tx) {
            int white = 0;
            for (int y = 4 * ty; y < 4 * ty + 4; ++y)
                for (int x = 4 * tx; x < 4 * tx + 4; ++x)
                    white += !ink(x, y);
            const int want = (255 * white + 8) / 16;
            if (greyOf(q, tx, ty) != want && wrong++ < 3)
                ADD_FAILURE() << tx << "," << ty << ": " << greyOf(q, tx, ty) << " wanted " << want;
        }
}

// The exact area average of a one-bit source, pixel by pixel: source pixel x covers
// [x * tw, (x + 1) * tw) and target pixel i covers [i * w, (i + 1) * w) on the same axis.
QImage plainOneBitReduction(const QImage& src, int tw, int th)
{
    const int w = src.width(), h = src.height();
    const int64_t grey[2] = {Bitmap::lumaOf(src.color(0)), Bitmap::lumaOf(src.color(1))};
    auto overlap = [](int64_t a0, int64_t a1, int64_t b0, int64_t b1) {
        return std::max<int64_t>(0, std::min(a1, b1) - std::max(a0, b0));
    };
    QImage out(tw, th, QImage::Format_Grayscale8);
    for (int ty = 0; ty < th; ++ty)
        for (int tx = 0; tx < tw; ++tx) {
            const int x0 = int(int64_t(tx) * w / tw), x1 = int(std::min<int64_t>(w, (int64_t(tx) + 1) * w / tw + 1));
            const int y0 = int(int64_t(ty) * h / th), y1 = int(std::min<int64_t>(h, (int64_t(ty) + 1) * h / th + 1));
            uint64_t sum = 0;
            for (int y = y0; y < y1; ++y) {
                const int64_t wy = overlap(int64_t(y) * th, int64_t(y + 1) * th, int64_t(ty) * h, int64_t(ty + 1) * h);
                for (int x = x0; x < x1; ++x) {
                    const int64_t wx =
                        overlap(int64_t(x) * tw, int64_t(x + 1) * tw, int64_t(tx) * w, int64_t(tx + 1) * w);
                    sum += uint64_t(wx * wy * grey[src.pixelIndex(x, y)]);
                }
            }
            out.scanLine(ty)[tx] = uchar(double(sum) * (1.0 / (double(w) * double(h))) + 0.5);
        }
    return out;
}

TEST(Resize, OneBitReductionMatchesPlainReferenceByteForByte)
{
    // Odd sizes and ratios, spans that start and end inside a byte, enlargements, rows one
    // pixel wide, tall columns, one sheet large enough to be reduced in bands, and colour
    // tables of either order and of greys between black and white.
    const struct {
        int w, h, tw, th;
        QRgb c0, c1;
    } cases[] = {
        {13, 9, 5, 4, qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {1001, 603, 37, 29, qRgb(255, 255, 255), qRgb(0, 0, 0)},
        {977, 211, 300, 7, qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {64, 64, 63, 65, qRgb(200, 120, 40), qRgb(10, 30, 250)},
        {7, 5, 23, 11, qRgb(255, 255, 255), qRgb(90, 90, 90)},
        {1, 17, 1, 3, qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {9401, 13, 1, 1, qRgb(0, 0, 0), qRgb(255, 255, 255)},
        {5701, 40, 100, 3, qRgb(0, 0, 0), qRgb(255, 255, 255)}, // spans about one machine word
        {3001, 20, 53, 2, qRgb(255, 255, 255), qRgb(0, 0, 0)},
        {37, 1400, 5, 2, qRgb(0, 0, 0), qRgb(255, 255, 255)}, // hundreds of rows to a target row
        {2347, 1801, 113, 173, qRgb(0, 0, 0), qRgb(255, 255, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " to " << c.tw << "x" << c.th);
        QImage mono(c.w, c.h, QImage::Format_Mono);
        mono.setColorTable({c.c0, c.c1});
        mono.fill(0);
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                if ((x * 7919 + y * 104729 + (x ^ y) * 31) % 13 < 5 || (y % 97 < 3 && x % 11 != 0) || x == 3)
                    mono.setPixel(x, y, 1);
        for (int y = 0; y < c.h; ++y) // padding bits past the last pixel must not count
            mono.scanLine(y)[(c.w + 7) / 8 - 1] |= uchar(0xFF >> (c.w % 8 ? c.w % 8 : 8));
        const QImage want = plainOneBitReduction(mono, c.tw, c.th);
        const Bitmap src(mono, pf1bit);
        Bitmap whole, band;
        ASSERT_NE(imgResizeRefine1Bit(c.tw, c.th, src, whole), 0);
        const int r0 = c.th / 3, r1 = std::max(r0 + 1, 2 * c.th / 3);
        ASSERT_NE(imgResizeRows(c.tw, c.th, src, r0, r1, band), 0);
        int wrong = 0;
        for (int y = 0; y < c.th; ++y)
            for (int x = 0; x < c.tw; ++x) {
                const int got = whole.image().constScanLine(y)[x], wanted = want.constScanLine(y)[x];
                if (got != wanted && wrong++ < 3)
                    ADD_FAILURE() << x << "," << y << ": " << got << " wanted " << wanted;
                if (y >= r0 && y < r1 && band.image().constScanLine(y - r0)[x] != wanted && wrong++ < 3)
                    ADD_FAILURE() << "band " << x << "," << y << ": " << int(band.image().constScanLine(y - r0)[x])
                                  << " wanted " << wanted;
            }
    }
}

// The reduction made when first read is the one made at once, for each kind of source; and
// it is of the source as it was when deferred.
TEST(Resize, DeferredReductionIsTheImmediateOne)
{
    Bitmap grey(90, 70, pf8bit), colour(90, 70, pf24bit);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 90; ++x) {
            grey.image().setPixel(x, y, qRgb(x * 2, x * 2, x * 2));
            colour.image().setPixel(x, y, qRgb(x * 2, y * 3, 100));
        }
    Bitmap mono = monoWithInk(90, 70, [](int x, int y) { return (x + 2 * y) % 9 == 0; });
    for (const Bitmap* src : {&mono, &grey, &colour}) {
        SCOPED_TRACE(int(src->pixelFormat()));
        Bitmap source = *src, now, later;
        ASSERT_EQ(imgResizeForView(45, 35, source, now), 1);
        ASSERT_EQ(imgResizeForViewDeferred("1/2縮小", 45, 35, source, later), 1);
        source.image().fill(0); // changed after: the deferred one still reduces the old pixels
        EXPECT_TRUE(later.isDeferred());
        EXPECT_EQ(later.pixelFormat(), now.pixelFormat());
        EXPECT_TRUE(later.image() == now.image());
    }
}

TEST(Resize, FailuresLeaveTheTargetAlone)
{
    const Bitmap src(40, 30, pf1bit);
    const struct {
        const char* name;
        Bitmap source;
        int w, h;
    } cases[] = {
        {"empty source", Bitmap(), 10, 10},
        {"zero width", src, 0, 10},
        {"negative height", src, 10, -1},
        {"absurd size", src, 1 << 20, 1 << 20},
        {"source row too wide to sum", Bitmap(16843010, 1, pf8bit), 2, 1}, // 255 x width > 2^32
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap target(3, 2, pf24bit);
        EXPECT_EQ(imgResizeRefine1Bit(c.w, c.h, c.source, target), 0);
        EXPECT_EQ(imgResizeBitmap(c.w, c.h, c.source, target), 0);
        EXPECT_EQ(imgResizeForViewDeferred("1/2縮小", c.w, c.h, c.source, target), 0);
        EXPECT_EQ(target.width(), 3);
        EXPECT_EQ(target.pixelFormat(), pf24bit);
        EXPECT_TRUE(imgResize(c.source, c.w, c.h).isEmpty());
    }
}

TEST(Resize, SourceMayBeTheTarget)
{
    Bitmap bmp = monoWithInk(8, 8, [](int x, int) { return x < 4; });
    ASSERT_NE(imgResizeRefine1Bit(2, 2, bmp, bmp), 0);
    EXPECT_EQ(bmp.width(), 2);
    EXPECT_EQ(greyOf(bmp, 0, 0), 0);
    EXPECT_EQ(greyOf(bmp, 1, 1), 255);
}

} // namespace
