// The dashed pen: patterns from the device resolution and the walk that carries its phase.
#include "render/canvas.h"
#include "render/styleline.h"


#include "renderapp.h"

#include <gtest/gtest.h>

#include <memory>

#include <string>
#include <vector>

namespace {

using rendertest::app;

using rendertest::whiteImage;

// The row as '#' for inked and '.' for white pixels.
std::string row(const QImage& img, int y, int x0, int x1)
{
    std::string s;
    for (int x = x0; x < x1; ++x)
        s += img.pixel(x, y) == qRgb(255, 255, 255) ? '.' : '#';
    return s;
}

// A dashed pen over a canvas on the image.
struct PenOn {
    explicit PenOn(QImage& img, int dpi = 96) : c(img, dpi) { s.SetCanvas(&c); }
    Canvas c;
    StyleLine s;
};

} // namespace

TEST(StyleLine, PatternsFollowTheDeviceResolution)
{
    app();
    struct Case {
        int dpi;
        int style;
        std::vector<int> pattern;
    };
    const Case cases[] = {
        {96, 2, {4, 4}},
        {96, 3, {24, 8}},
        {96, 4, {12, 8, 4, 8}},
        {96, 5, {12, 4, 4, 4, 4, 4}},
        {600, 3, {192, 64}},
        {600, 4, {96, 64, 32, 64}},
        {143, 3, {24, 8}},
        {144, 2, {8, 8}},
        {50, 3, {24, 8}}, // under 72 dpi a dot per point still
    };
    for (const Case& k : cases) {
        QImage img = whiteImage(4, 4);
        PenOn pen(img, k.dpi);
        StyleLine& s = pen.s;
        s.SetStyle(k.style);
        EXPECT_EQ(s.style, k.style);
        ASSERT_EQ(s.entryCount, static_cast<int>(k.pattern.size())) << k.dpi << "/" << k.style;
        for (int i = 0; i < s.entryCount; ++i)
            EXPECT_EQ(s.pattern[i], k.pattern[static_cast<std::size_t>(i)]) << k.dpi << "/" << k.style << " #" << i;
    }
}

TEST(StyleLine, PlainOrUnknownStyleKeepsThePattern)
{
    app();
    QImage img = whiteImage(4, 4);
    PenOn pen(img);
    StyleLine& s = pen.s;
    s.SetStyle(4);
    for (int style : {1, 0, 9}) {
        s.SetStyle(style);
        EXPECT_EQ(s.entryCount, 4);
        EXPECT_EQ(s.pattern[0], 12);
    }
}

TEST(StyleLine, WidthIsAtLeastOne)
{
    StyleLine s;
    for (auto [given, stored] : {std::pair{0, 1}, {-3, 1}, {1, 1}, {4, 4}}) {
        s.SetWidth(given);
        EXPECT_EQ(s.width, stored) << given;
    }
}

TEST(StyleLine, LengthInDotsRoundsToWholeDots)
{
    // The constant added stops just short of one half: an exact half stays down.
    for (auto [x, dots] : {std::pair{2.6, 3}, {2.4999, 2}, {24.0, 24}, {0.0, 0}, {191.9, 192}, {2.5, 2},
                           {2.5000000000002, 3}})
        EXPECT_EQ(StyleLine::LengthInDots(x), dots) << x;
}

TEST(StyleLine, DashRunsOnAcrossTheCorner)
{
    app();
    QImage img = whiteImage(60, 5);
    {
        PenOn pen(img, 96);
        StyleLine& s = pen.s;
        s.SetWidth(1);
        s.SetStyle(3);
        const QPoint pts[] = {{0, 2}, {20, 2}, {40, 2}};
        s.Polyline(pts, 3);
        EXPECT_EQ(s.entryIndex, 0);
        EXPECT_EQ(s.phase, 8);
    }
    EXPECT_EQ(row(img, 2, 0, 45), std::string(24, '#') + std::string(8, '.') + std::string(8, '#') +
                                      std::string(5, '.'));

    // The same walked from right to left: every piece starts on its first dot.
    QImage back = whiteImage(60, 5);
    {
        PenOn pen(back, 96);
        pen.s.SetWidth(1);
        pen.s.SetStyle(3);
        const QPoint pts[] = {{40, 2}, {20, 2}, {0, 2}};
        pen.s.Polyline(pts, 3);
    }
    EXPECT_EQ(row(back, 2, 0, 45), "." + std::string(8, '#') + std::string(8, '.') + std::string(24, '#') +
                                       std::string(4, '.'));
}

TEST(StyleLine, ZeroLengthSegmentDrawsNothingAndKeepsThePhase)
{
    app();
    QImage img = whiteImage(40, 5);
    PenOn pen(img, 96);
    StyleLine& s = pen.s;
    s.SetStyle(3);
    s.MoveTo(0, 2);
    s.LineTo(10, 2);
    const QImage before = img;
    s.LineTo(10, 2);
    EXPECT_EQ(s.phase, 10);
    EXPECT_EQ(s.entryIndex, 0);
    EXPECT_EQ(img, before);
}

TEST(StyleLine, PolygonClosesThroughItsFirstPointWithThePatternRunningOn)
{
    app();
    QImage img = whiteImage(20, 20);
    {
        PenOn pen(img, 96);
        StyleLine& s = pen.s;
        s.SetStyle(3);
        // Starts at the last point: its 16 dots up the left edge use 16 of the first dash, so
        // the top edge gets the other 8 and then the gap.
        const QPoint pts[] = {{0, 0}, {16, 0}, {16, 16}, {0, 16}};
        s.Polygon(pts, 4);
    }
    EXPECT_EQ(row(img, 0, 0, 16), std::string(8, '#') + std::string(8, '.'));
}

TEST(StyleLine, CircleOfRadiusZeroShowsNothing)
{
    app();
    QImage img = whiteImage(20, 20);
    {
        PenOn pen(img, 96);
        StyleLine& s = pen.s;
        s.SetWidth(3);
        s.SetStyle(2);
        s.Circle(10, 10, 0);
        EXPECT_EQ(pen.c.penPos(), QPoint(10, 10));
    }
    EXPECT_EQ(img, whiteImage(20, 20));
}

TEST(StyleLine, DottedCircleIsCutIntoPieces)
{
    app();
    QImage img = whiteImage(100, 100);
    {
        PenOn pen(img, 96);
        StyleLine& s = pen.s;
        s.SetStyle(2);
        s.CircleThrough(50, 50, 80, 50);
    }
    // Along the right-hand side of the circle some pixels are inked and some left white.
    int inked = 0;
    int gaps = 0;
    for (int y = 30; y < 70; ++y) {
        bool any = false;
        for (int x = 70; x < 82; ++x)
            any = any || img.pixel(x, y) != qRgb(255, 255, 255);
        (any ? inked : gaps)++;
    }
    EXPECT_GT(inked, 10);
    EXPECT_GT(gaps, 5);
}
