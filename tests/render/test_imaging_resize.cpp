// Reductions: sizes and formats of the targets, area averaging against a plain reference,
// thin lines that must survive, and failures that leave the target alone.
#include "render/imaging.h"

#include <gtest/gtest.h>

#include <cmath>
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
