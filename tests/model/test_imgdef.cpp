#include "model/imgdef.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <tuple>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

TImgDef defaultDef()
{
    testutil::TempDir dir;
    TImgDef def;
    def.imagePath = dir.file("none.tif");
    imgDefRead(def);
    return def;
}

// The stored fields in file order: size line, control pixels, plane points, frame.
std::vector<double> storedFields(const TImgDef& d)
{
    return {double(d.dpi), double(d.scale), double(d.width), double(d.height),
            double(d.imgX1), double(d.imgY1), double(d.imgX2), double(d.imgY2),
            d.worldX1, d.worldY1, d.worldX2, d.worldY2,
            double(d.frameX1), double(d.frameY1), double(d.frameX2), double(d.frameY2)};
}

TEST(ImgDefFile, MissingFileGivesDefaults)
{
    testutil::TempDir dir;
    struct Case {
        int fileDpi;
        int dpi;
    } cases[] = {{0, 200}, {-5, 200}, {400, 400}};
    for (const Case& c : cases) {
        TImgDef def;
        def.imagePath = dir.file("sheet.tif");
        std::string asked;
        int r = imgDefRead(def, [&](const std::string& p) {
            asked = p;
            return c.fileDpi;
        });
        EXPECT_EQ(r, 0);
        EXPECT_EQ(asked, def.imagePath);
        EXPECT_EQ(storedFields(def), (std::vector<double>{double(c.dpi), 1000, 800, 600, 0, 0, 100, 100,
                                                          0.0, 0.0, 100.0, -100.0, 100, 100, 200, 200}));
    }
    TImgDef def;
    def.imagePath = dir.file("sheet.tif");
    EXPECT_EQ(imgDefRead(def), 0); // no resolution reader at all
    EXPECT_EQ(def.dpi, 200);
}

TEST(ImgDefFile, WriteThenReadRoundTrips)
{
    testutil::TempDir dir;
    TImgDef def;
    def.imagePath = dir.file("地図.tif");
    std::tie(def.dpi, def.scale, def.width, def.height) = std::tuple(400, 500, 13200, 18700);
    std::tie(def.imgX1, def.imgY1, def.imgX2, def.imgY2) = std::tuple(12, 34, 5600, 7800);
    std::tie(def.worldX1, def.worldY1, def.worldX2, def.worldY2) =
        std::tuple(-12345.6789, 2345.0004, 0.0005, 99999.9994);
    std::tie(def.frameX1, def.frameY1, def.frameX2, def.frameY2) = std::tuple(1, 2, 13000, 18000);
    ASSERT_EQ(imgDefWrite(def), 1);

    std::string bytes = testutil::readBytes(dir.file("地図.Def"));
    EXPECT_NE(bytes.find("400 500 13200 18700\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("-12345.679 2345.000 0.001 99999.999\r\n"), std::string::npos);

    TImgDef back;
    back.imagePath = def.imagePath;
    ASSERT_EQ(imgDefRead(back), 1);
    EXPECT_EQ(back.imagePath, def.imagePath);
    EXPECT_EQ(storedFields(back), (std::vector<double>{400, 500, 13200, 18700, 12, 34, 5600, 7800,
                                                       -12345.679, 2345.0, 0.001, 99999.999,
                                                       1, 2, 13000, 18000}));
}

// A program started in a locale whose decimal mark is a comma (the GUI takes the locale of its
// environment) still writes and reads the Def file with decimal points.
TEST(ImgDefFile, NumbersKeepTheirPointInACommaLocale)
{
    testutil::TempDir dir;
    if (!testutil::makeCommaLocale(dir))
        GTEST_SKIP() << "no de_DE locale can be made here";
    const bool switched = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    char probe[16] = "";
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);

    TImgDef def;
    def.imagePath = dir.file("a.tif");
    std::tie(def.worldX1, def.worldY1, def.worldX2, def.worldY2) =
        std::tuple(-12345.6789, 2345.0004, 0.5, 99999.9994);
    const int written = imgDefWrite(def);
    TImgDef back;
    back.imagePath = def.imagePath;
    const int read = imgDefRead(back);

    std::setlocale(LC_ALL, "C");
    ::unsetenv("LOCPATH");
    if (!switched || std::string(probe) != "1,5")
        GTEST_SKIP() << "the made locale does not write a decimal comma";
    ASSERT_EQ(written, 1);
    EXPECT_NE(testutil::readBytes(dir.file("a.Def")).find("-12345.679 2345.000 0.500 99999.999\r\n"),
              std::string::npos);
    ASSERT_EQ(read, 1);
    EXPECT_EQ(std::tuple(back.worldX1, back.worldY1, back.worldX2, back.worldY2),
              std::tuple(-12345.679, 2345.0, 0.5, 99999.999));
}

TEST(ImgDefFile, ShortOrDamagedLinesKeepEarlierValues)
{
    testutil::TempDir dir;
    TImgDef def = defaultDef();
    def.imagePath = dir.file("a.png");
    testutil::writeBytes(dir.file("a.Def"), "other/path.png\r\n300 2500\r\nx 5 6 7\r\n"
                                            "1.5 nan 3.5\r\n");
    EXPECT_EQ(imgDefRead(def), 1);
    EXPECT_EQ(def.imagePath, dir.file("a.png"));
    EXPECT_EQ(def.dpi, 300);
    EXPECT_EQ(def.scale, 2500);
    EXPECT_EQ(def.width, 800);   // not on the line
    EXPECT_EQ(def.height, 600);
    EXPECT_EQ(def.imgX1, 0);     // the line does not parse at all
    EXPECT_EQ(def.imgY2, 100);
    EXPECT_EQ(def.worldX1, 1.5);
    EXPECT_EQ(def.worldY1, 0.0); // not a number: kept, and so is the rest of the line
    EXPECT_EQ(def.worldX2, 100.0);
    EXPECT_EQ(def.worldY2, -100.0);
    EXPECT_EQ(def.frameX1, 100); // no fifth line
}

TEST(ImgDefFile, UnwritableFileGivesZero)
{
    testutil::TempDir dir;
    TImgDef def = defaultDef();
    def.imagePath = dir.file("no/such/folder/a.tif");
    EXPECT_EQ(imgDefWrite(def), 0);
}

TEST(Georeference, DefaultControlPoints)
{
    TImgDef def = defaultDef();
    geoCalcTransform(def);
    EXPECT_NEAR(def.imgAngle, -kPi / 4, 1e-12);
    EXPECT_NEAR(def.worldAngle, 3 * kPi / 4, 1e-12);
    EXPECT_NEAR(def.rotation, kPi, 1e-12);
    EXPECT_NEAR(def.imgDist, 100 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(def.worldDist, 100 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(def.lenRatio, 1.0, 1e-12);

    double X = 0, Y = 0;
    geoPixToWorld(def, 100, 100, X, Y);
    EXPECT_NEAR(X, 100.0, 1e-9);
    EXPECT_NEAR(Y, -100.0, 1e-9);
    double x = 0, y = 0;
    geoWorldToPix(def, 100.0, -100.0, x, y);
    EXPECT_NEAR(x, 100.0, 1e-9);
    EXPECT_NEAR(y, 100.0, 1e-9);
}

TEST(Georeference, ScaledRotatedRoundTripAndControlPointExact)
{
    TImgDef def = defaultDef();
    def.width = 5000;
    def.height = 4000;
    def.imgX1 = 250;
    def.imgY1 = 3100;
    def.imgX2 = 4100;
    def.imgY2 = 900;
    def.worldX1 = -35120.25;
    def.worldY1 = 8123.5;
    def.worldX2 = -34011.75;
    def.worldY2 = 9800.125;
    geoCalcTransform(def);

    double X = 0, Y = 0;
    geoPixToWorld(def, def.imgX1, def.imgY1, X, Y);
    EXPECT_EQ(X, def.worldX1);
    EXPECT_EQ(Y, def.worldY1);
    geoPixToWorld(def, def.imgX2, def.imgY2, X, Y);
    EXPECT_NEAR(X, def.worldX2, 1e-6);
    EXPECT_NEAR(Y, def.worldY2, 1e-6);
    for (auto [px, py] : {std::pair{0.0, 0.0}, {4999.0, 3999.0}, {1234.5, 17.25}}) {
        double x = 0, y = 0;
        geoPixToWorld(def, px, py, X, Y);
        geoWorldToPix(def, X, Y, x, y);
        EXPECT_NEAR(x, px, 1e-6);
        EXPECT_NEAR(y, py, 1e-6);
    }
}

TEST(Georeference, ControlPointsOnOnePixelStayFinite)
{
    struct Case {
        double worldX2, worldY2;
    } cases[] = {{500.0, 700.0}, {0.0, 0.0}};
    for (const Case& c : cases) {
        TImgDef def = defaultDef();
        def.imgX2 = def.imgX1;
        def.imgY2 = def.imgY1;
        def.worldX2 = c.worldX2;
        def.worldY2 = c.worldY2;
        geoCalcTransform(def);
        EXPECT_EQ(def.lenRatio, 1.0);
        for (double v : {def.imgDist, def.imgAngle, def.worldDist, def.worldAngle, def.rotation})
            EXPECT_TRUE(std::isfinite(v));
        double X = 0, Y = 0, x = 0, y = 0;
        geoPixToWorld(def, 30, 40, X, Y);
        geoWorldToPix(def, X, Y, x, y);
        EXPECT_TRUE(std::isfinite(X) && std::isfinite(Y) && std::isfinite(x) && std::isfinite(y));
    }
}

TEST(PlaneMeasures, Values)
{
    TImgDef def = defaultDef();
    def.dpi = 200;
    def.scale = 1000;
    EXPECT_NEAR(geoPixToMetre(def, 200), 25.4, 1e-9);
    def.dpi = 0;
    EXPECT_EQ(geoPixToMetre(def, 200), 0.0);

    EXPECT_EQ(geoAngleReal(1, 1, 1, 1), 0.0);
    EXPECT_EQ(geoAngleInt(5, 5, 5, 5), 0.0);
    EXPECT_NEAR(geoAngleReal(0, 0, 0, 1), kPi / 2, 1e-12);
    EXPECT_NEAR(geoAngleInt(0, 0, 0, 1), -kPi / 2, 1e-12); // from point 2 to point 1
    EXPECT_NEAR(geoAngleDeg(TPoint{1, 1}, TPoint{0, 0}), 45.0, 1e-12);
    EXPECT_EQ(geoDistance(1, 2, 4, 6), 5.0);
}

TEST(PlaneMeasures, PerpendicularPoint)
{
    EXPECT_EQ(geoPerpendicularPoint(10, 0, 0, 0, 7, 5), (TPoint{0, 5}));
    // A = B: direction 0, so the point is (ax, qy) up to the truncation toward zero.
    TPoint p = geoPerpendicularPoint(3, 3, 3, 3, 8, -9);
    EXPECT_LE(std::abs(p.x - 3), 1);
    EXPECT_EQ(p.y, -9);
}

} // namespace

TEST(Georeference, PlanePointsTooFarApartGiveTheNeutralTransform)
{
    testutil::TempDir dir;
    testutil::writeBytes(dir.file("s.Def"), "s.tif\r\n400 500 1000 800\r\n10 20 300 400\r\n"
                                            "1e308 0 -1e308 0\r\n0 0 10 10\r\n");
    TImgDef def;
    def.imagePath = dir.file("s.tif");
    ASSERT_EQ(imgDefRead(def), 1);
    EXPECT_EQ(def.worldX1, 1e308); // the fields keep what was read
    EXPECT_EQ(def.worldX2, -1e308);
    geoCalcTransform(def);
    EXPECT_EQ(def.lenRatio, 1.0);
    EXPECT_EQ(def.rotation, 0.0);
    double X = 0, Y = 0, x = 0, y = 0;
    geoPixToWorld(def, 30, 40, X, Y);
    geoWorldToPix(def, 0.0, 0.0, x, y);
    EXPECT_TRUE(std::isfinite(X) && std::isfinite(Y)) << X << " " << Y;
    EXPECT_FALSE(std::isnan(x) || std::isnan(y)) << x << " " << y;
}
