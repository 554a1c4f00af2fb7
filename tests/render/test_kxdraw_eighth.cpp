// The background at divisor 8: the quarter bitmap halved by the darkest of each 2 x 2, so the
// line work of a sheet stays as dark as at 1/4.
#include "render/bitmap.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/kxdraw.h"

#include <QDir>

#include "renderapp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using rendertest::app;

std::string sampleSheet()
{
    // From the fixtures' folder, which the build names in full (a compiler launcher may give
    // the source's own path relative to the build folder).
    return QDir::cleanPath(QStringLiteral(NURIVO_TEST_FIXTURES "/../../../samples/sample-sheet.tif")).toStdString();
}

QImage background(KXDraw& kx, int div, QSize size, bool over)
{
    kx.SetDrawParams(1, 3, 0, 1, over ? 1 : 0, 0, 0, 1, 1.0, div, div, 1.0);
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    Canvas c(img, 96);
    kx.Draw(&c, size.width(), size.height(), 1.0);
    return img;
}

double darkShare(const QImage& img)
{
    long long dark = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                ++dark;
    return static_cast<double>(dark) / (static_cast<double>(img.width()) * img.height());
}

// The sample sheet's line work at 1/8 is at least as dark as at 1/4, pixel for pixel the
// darkest of the quarter bitmap's 2 x 2, laid under the fills and over them alike.
TEST(KXDrawEighth, SampleSheetStaysDark)
{
    app();
    Bitmap raster, half, quarter;
    ASSERT_TRUE(imgLoadToBitmap(sampleSheet(), raster)) << sampleSheet();
    ASSERT_TRUE(imgResizeRefine1Bit(raster.width() / 2, raster.height() / 2, raster, half));
    ASSERT_TRUE(imgResizeRefine1Bit(raster.width() / 4, raster.height() / 4, raster, quarter));
    KXDraw kx;
    kx.rasterBmp = &raster;
    kx.halfBmp = &half;
    kx.quarterBmp = &quarter;
    kx.layerCount = 0;
    const QSize q(quarter.width(), quarter.height());
    const QImage atQuarter = background(kx, 4, q, true);
    const QImage atEighth = background(kx, 8, q / 2, true);
    const double quarterShare = darkShare(atQuarter);
    const double eighthShare = darkShare(atEighth);
    EXPECT_GT(quarterShare, 0.01);
    EXPECT_GE(eighthShare, quarterShare);
    // Averaging the quarter bitmap again, as a plain reduction does, loses dark pixels.
    const QImage averaged = quarter.image().scaled(q / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(darkShare(averaged), eighthShare);

    const QImage& qi = quarter.image();
    for (int y = 0; y < atEighth.height(); y += 7)
        for (int x = 0; x < atEighth.width(); x += 5) {
            const int g = std::min(std::min(qGray(qi.pixel(2 * x, 2 * y)), qGray(qi.pixel(2 * x + 1, 2 * y))),
                                   std::min(qGray(qi.pixel(2 * x, 2 * y + 1)), qGray(qi.pixel(2 * x + 1, 2 * y + 1))));
            ASSERT_EQ(qGray(atEighth.pixel(x, y)), g) << x << "," << y;
        }
    EXPECT_EQ(background(kx, 8, q / 2, false), atEighth);

    if (const QByteArray dir = qgetenv("NURIVO_SHOT_DIR"); !dir.isEmpty()) {
        atQuarter.save(QString::fromUtf8(dir) + "/background-quarter.png");
        atEighth.save(QString::fromUtf8(dir) + "/background-eighth.png");
    }
}

// Colour rasters halve channel by channel; an odd last row and column fall away; a new
// quarter bitmap (black-and-white display) is halved afresh.
TEST(KXDrawEighth, ColourChannelsAndChanges)
{
    app();
    Bitmap raster(10, 6, pf32bit);
    QImage quarterImage(5, 3, QImage::Format_RGB32);
    quarterImage.fill(qRgb(255, 255, 255));
    quarterImage.setPixel(0, 0, qRgb(200, 30, 250));
    quarterImage.setPixel(1, 1, qRgb(90, 220, 240));
    quarterImage.setPixel(4, 2, qRgb(0, 0, 0)); // the odd row and column
    Bitmap quarter(quarterImage, pf32bit);
    KXDraw kx;
    kx.rasterBmp = &raster;
    kx.halfBmp = &raster;
    kx.quarterBmp = &quarter;
    kx.layerCount = 0;
    QImage img = background(kx, 8, QSize(3, 2), true);
    EXPECT_EQ(img.pixel(0, 0), qRgb(90, 30, 240));
    EXPECT_EQ(img.pixel(1, 0), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(2, 0), qRgb(255, 255, 255)); // beyond the halved bitmap: white
    EXPECT_EQ(img.pixel(1, 1), qRgb(255, 255, 255));

    quarter.image().setPixel(3, 0, qRgb(10, 20, 30));
    img = background(kx, 8, QSize(3, 2), true);
    EXPECT_EQ(img.pixel(1, 0), qRgb(10, 20, 30));
}

} // namespace
