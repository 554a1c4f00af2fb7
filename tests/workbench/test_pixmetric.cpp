#include "model/imgdef.h"
#include "render/kxdraw.h"
#include "workbench/pixmetric.h"
#include "platform/satint.h"
#include "workbench/wbstate.h"

#include <gtest/gtest.h>

namespace {

struct PixMetric : testing::Test {
    KXDraw drawing;
    void SetUp() override
    {
        wb.drawing = &drawing;
        TImgDef& d = *drawing.imgDef;
        d.imgX1 = 100;
        d.imgY1 = 100;
        d.worldX1 = 1000.0;
        d.worldY1 = 2000.0;
        d.imgX2 = 300;
        d.imgY2 = 200;
        d.worldX2 = 900.0;
        d.worldY2 = 2100.0;
    }
    void TearDown() override { wb.drawing = nullptr; }
};

TEST_F(PixMetric, EachAxisInterpolatedAndBack)
{
    double X = 0, Y = 0;
    inputPixelToMetric(200, 150, X, Y);
    EXPECT_DOUBLE_EQ(X, 950.0);
    EXPECT_DOUBLE_EQ(Y, 2050.0);
    int x = 0, y = 0;
    inputMetricToPixel(950.0, 2050.0, x, y);
    EXPECT_EQ(x, 200);
    EXPECT_EQ(y, 150);

    // Truncation toward zero: 100 + (-0.7 / 100) * 200 = 98.6 gives 98, and
    // 100 + (-0.49 / -100) * 100 = 100.49 gives 100.
    inputMetricToPixel(1000.0 - 0.49, 2000.0 - 0.7, x, y);
    EXPECT_EQ(x, 98);
    EXPECT_EQ(y, 100);
    // Below zero: 100 + (-50.7 / 100) * 200 = -1.4 gives -1, not -2.
    inputMetricToPixel(950.0, 2000.0 - 50.7, x, y);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, 150);
}

TEST_F(PixMetric, DegenerateControlPoints)
{
    double X = 1, Y = 1;
    int x = 0, y = 0;
    TImgDef& d = *drawing.imgDef;

    d.imgY2 = d.imgY1; // both on one pixel row
    inputPixelToMetric(200, 150, X, Y);
    EXPECT_EQ(X, 0.0);
    EXPECT_EQ(Y, 0.0);
    d.imgY2 = 200;
    d.imgX2 = d.imgX1; // one pixel column
    inputPixelToMetric(200, 150, X, Y);
    EXPECT_EQ(X, 0.0);
    d.imgX2 = 300;

    d.worldX2 = d.worldX1; // equal plane X
    inputMetricToPixel(950.0, 2050.0, x, y);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    d.worldX2 = 900.0;
    d.worldY2 = d.worldY1;
    inputMetricToPixel(950.0, 2050.0, x, y);
    EXPECT_EQ(x, -1);

    // Without a drawing: the degenerate results, no crash.
    wb.drawing = nullptr;
    inputPixelToMetric(1, 1, X, Y);
    EXPECT_EQ(X, 0.0);
    inputMetricToPixel(1.0, 1.0, x, y);
    EXPECT_EQ(x, -1);
}

TEST_F(PixMetric, FarPointsStayInRange)
{
    int x = 0, y = 0;
    inputMetricToPixel(1e12, -1e12, x, y);
    EXPECT_EQ(x, -kSatIntLimit);
    EXPECT_EQ(y, -kSatIntLimit);
    double X = 0, Y = 0;
    inputPixelToMetric(2147483647, -2147483647 - 1, X, Y);
    EXPECT_GT(X, 1e9);
    EXPECT_GT(Y, 1e9);
}

// Control points far apart (a Def file may hold any int): their pixel span does not fit an int,
// yet the way back lands on the pixel between them.
TEST_F(PixMetric, ControlPointsSpanningTheIntRange)
{
    TImgDef& d = *drawing.imgDef;
    d.imgX1 = -2000000000;
    d.imgX2 = 2000000000;
    d.imgY1 = 2000000000;
    d.imgY2 = -2000000000;
    d.worldX1 = 0.0;
    d.worldX2 = 4000.0;
    d.worldY1 = 0.0;
    d.worldY2 = 4000.0;
    int x = 1, y = 1;
    inputMetricToPixel(2000.0, 2000.0, x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    inputMetricToPixel(1900.0, 2100.0, x, y);
    EXPECT_EQ(x, 100000000);
    EXPECT_EQ(y, 100000000);
    // A quarter of the way: beyond what a pixel can be, held at the limit.
    inputMetricToPixel(3000.0, 1000.0, x, y);
    EXPECT_EQ(x, -kSatIntLimit);
    EXPECT_EQ(y, -kSatIntLimit);
}

} // namespace
