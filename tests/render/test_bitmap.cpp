// Bitmap: the pixel format it keeps, how each is stored, conversion and resizing.
#include "render/bitmap.h"

#include <gtest/gtest.h>

#include <QPainter>

#include <functional>

namespace {

TEST(Bitmap, NewBitmapsAreWhiteAndPaintable)
{
    const struct {
        PixelFormat format;
        QImage::Format storage;
    } cases[] = {
        {pf1bit, QImage::Format_Mono},     {pf4bit, QImage::Format_Grayscale8}, {pf8bit, QImage::Format_Grayscale8},
        {pf15bit, QImage::Format_RGB555},  {pf16bit, QImage::Format_RGB16},     {pf24bit, QImage::Format_RGB32},
        {pf32bit, QImage::Format_RGB32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.format);
        Bitmap bmp(9, 5, c.format);
        EXPECT_EQ(bmp.pixelFormat(), c.format);
        EXPECT_EQ(bmp.image().format(), c.storage);
        EXPECT_EQ(bmp.image().pixel(8, 4), qRgb(255, 255, 255));
        {
            QPainter p(&bmp.image());
            ASSERT_TRUE(p.isActive());
            p.fillRect(0, 0, 2, 2, Qt::black);
        }
        EXPECT_EQ(bmp.image().pixel(1, 1), qRgb(0, 0, 0));
        EXPECT_EQ(bmp.image().pixel(2, 2), qRgb(255, 255, 255));
    }
    EXPECT_TRUE(Bitmap(0, 5, pf8bit).isEmpty());
    EXPECT_TRUE(Bitmap().isEmpty());
}

TEST(Bitmap, ToOneBitThresholdsLuminanceAt128)
{
    Bitmap bmp(4, 1, pf24bit);
    bmp.image().setPixel(0, 0, qRgb(127, 127, 127));
    bmp.image().setPixel(1, 0, qRgb(128, 128, 128));
    bmp.image().setPixel(2, 0, qRgb(255, 0, 0));     // luminance 76
    bmp.image().setPixel(3, 0, qRgb(128, 129, 125)); // luminance 128
    bmp.setPixelFormat(pf1bit);
    ASSERT_EQ(bmp.image().format(), QImage::Format_Mono);
    EXPECT_EQ(bmp.image().colorTable(), (QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
    EXPECT_EQ(bmp.image().pixelIndex(0, 0), 0);
    EXPECT_EQ(bmp.image().pixelIndex(1, 0), 1);
    EXPECT_EQ(bmp.image().pixelIndex(2, 0), 0);
    EXPECT_EQ(bmp.image().pixelIndex(3, 0), 1);

    bmp.setPixelFormat(pf8bit);
    EXPECT_EQ(bmp.image().format(), QImage::Format_Grayscale8);
    EXPECT_EQ(bmp.image().pixel(1, 0), qRgb(255, 255, 255));
}

TEST(Bitmap, TwoColourImagesBecomeOneBitWithTheirIndices)
{
    // A palette whose entry 0 is the light one: the indices, not the greys, must survive.
    const QList<QRgb> table{qRgb(250, 240, 200), qRgb(20, 0, 90)};
    for (QImage::Format f : {QImage::Format_Indexed8, QImage::Format_MonoLSB}) {
        SCOPED_TRACE(f);
        QImage src(10, 3, f);
        src.setColorTable(table);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 10; ++x)
                src.setPixel(x, y, (x + y) % 3 == 0 ? 1 : 0);
        const Bitmap bmp(src, pf1bit);
        ASSERT_EQ(bmp.image().format(), QImage::Format_Mono);
        EXPECT_EQ(bmp.image().colorTable(), table);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 10; ++x)
                EXPECT_EQ(bmp.image().pixelIndex(x, y), (x + y) % 3 == 0 ? 1 : 0) << x << "," << y;
    }
}

TEST(Bitmap, GreyRastersLayTheirTransparencyOverWhite)
{
    // Black with alpha 0, 128 and 255: white paper, (255 * 127 + 127) / 255 = 127, black.
    const int alphas[] = {0, 128, 255};
    const int greys[] = {255, 127, 0};
    QImage withAlpha(3, 1, QImage::Format_ARGB32);
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorCount(3);
    for (int x = 0; x < 3; ++x) {
        withAlpha.setPixel(x, 0, qRgba(0, 0, 0, alphas[x]));
        indexed.setColor(x, qRgba(0, 0, 0, alphas[x]));
        indexed.setPixel(x, 0, uint(x));
    }
    for (const QImage& src : {withAlpha, indexed}) {
        SCOPED_TRACE(src.format());
        const Bitmap bmp(src, pf8bit);
        ASSERT_EQ(bmp.image().format(), QImage::Format_Grayscale8);
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(qGray(bmp.image().pixel(x, 0)), greys[x]) << "alpha " << alphas[x];
    }
}

TEST(Bitmap, SetSizeKeepsTheTopLeftAndWhitensTheRest)
{
    for (PixelFormat f : {pf1bit, pf8bit, pf24bit}) {
        SCOPED_TRACE(f);
        Bitmap bmp(13, 3, f);
        bmp.image().fill(f == pf1bit ? 0 : 0xFF000000u); // all black
        if (f == pf8bit)
            bmp.image().fill(0);
        bmp.setSize(21, 4);
        ASSERT_EQ(bmp.width(), 21);
        EXPECT_EQ(bmp.pixelFormat(), f);
        EXPECT_EQ(bmp.image().pixel(12, 2), qRgb(0, 0, 0));
        EXPECT_EQ(bmp.image().pixel(13, 2), qRgb(255, 255, 255)); // inside the old last byte of a mono row
        EXPECT_EQ(bmp.image().pixel(0, 3), qRgb(255, 255, 255));
        bmp.setSize(5, 2);
        EXPECT_EQ(bmp.image().pixel(4, 1), qRgb(0, 0, 0));
    }
}

// A deferred bitmap answers its size and format without making its pixels; the first read
// makes them once, for a const read too, and keeps its key until they are written; a make
// that fails leaves it empty; copies made before the read make their own.
TEST(Bitmap, DeferredPixelsAreMadeOnTheirFirstRead)
{
    int made = 0;
    auto make = [&made] {
        ++made;
        Bitmap b(6, 4, pf8bit);
        b.image().fill(7);
        return b;
    };
    Bitmap d = Bitmap::deferred(6, 4, pf8bit, make);
    const Bitmap copy = d;
    EXPECT_TRUE(d.isDeferred());
    EXPECT_FALSE(d.isEmpty());
    EXPECT_EQ(d.width(), 6);
    EXPECT_EQ(d.height(), 4);
    EXPECT_EQ(d.pixelFormat(), pf8bit);
    const qint64 pendingKey = d.cacheKey();
    EXPECT_EQ(made, 0);
    EXPECT_EQ(qGray(static_cast<const Bitmap&>(d).image().pixel(5, 3)), 7);
    EXPECT_EQ(d.image().pixel(0, 0), qRgb(7, 7, 7));
    EXPECT_EQ(made, 1);
    EXPECT_FALSE(d.isDeferred());
    // What was drawn of it before its pixels were made stays valid: the key is kept until the
    // pixels are written.
    EXPECT_EQ(d.cacheKey(), pendingKey);
    Bitmap written = d;
    written.image().fill(9);
    EXPECT_NE(written.cacheKey(), pendingKey);
    EXPECT_EQ(written.cacheKey(), written.image().cacheKey());
    EXPECT_TRUE(copy.image() == d.image());
    EXPECT_EQ(made, 2);

    struct {
        const char* what;
        std::function<Bitmap()> make;
    } failing[] = {{"nothing made", [] { return Bitmap(); }},
                   {"another size", [] { return Bitmap(5, 4, pf8bit); }}};
    for (const auto& f : failing) {
        Bitmap b = Bitmap::deferred(6, 4, pf8bit, f.make);
        EXPECT_FALSE(b.isEmpty()) << f.what;
        b.image();
        EXPECT_TRUE(b.isEmpty()) << f.what;
        EXPECT_EQ(b.width(), 0) << f.what;
    }
    // Changing a deferred bitmap makes it first.
    Bitmap grey = Bitmap::deferred(6, 4, pf8bit, make);
    grey.setPixelFormat(pf1bit);
    EXPECT_FALSE(grey.isDeferred());
    EXPECT_EQ(grey.image().pixel(2, 2), qRgb(0, 0, 0));
}

} // namespace
