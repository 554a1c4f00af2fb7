#include "model/tracegrid.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <set>
#include <utility>

namespace {

using Cells = std::set<std::pair<int, int>>;

// Every cell holding `code`.
Cells cellsWith(int code)
{
    Cells out;
    const TraceGrid& g = polyGetGrid();
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            if (polyGetCell(x, y) == code)
                out.insert({x, y});
    return out;
}

// Builds the grid the way a drawing with recognised line work is opened.
void openWith(const std::string& rvl, int width, int height)
{
    testutil::TempDir dir;
    testutil::writeBytes(dir.file("a.RVL"), rvl);
    ASSERT_EQ(polyInit(width, height), 1);
    polyReadRvl(dir.file("a.RVL"), height);
    EXPECT_EQ(polyGridFromBitmap(1, width, height), 1);
    EXPECT_EQ(polyMarkVertices(), 1);
}

class TraceGridTest : public ::testing::Test {
protected:
    void TearDown() override { polyFree(); }
};

TEST_F(TraceGridTest, SingleBlockFile)
{
    const std::string rvl = "PS\r\n10 20\r\n30 20\r\nPE\r\n";
    ASSERT_EQ(rvl.size(), 22u);
    openWith(rvl, 100, 100);
    ASSERT_EQ(polyGetSegCount(), 1);
    const TraceSeg& s = polyGetGrid().segs[0];
    EXPECT_EQ((std::array{s.x1, s.y1, s.x2, s.y2}), (std::array{10, 79, 30, 79}));
    Cells ink;
    for (int x = 11; x < 30; ++x)
        ink.insert({x, 79});
    EXPECT_EQ(cellsWith(traceInk), ink);
    EXPECT_EQ(cellsWith(traceEndPoint), (Cells{{10, 79}, {30, 79}}));
}

TEST_F(TraceGridTest, EmptyFileAndMissingFile)
{
    openWith("", 10, 10);
    EXPECT_EQ(polyGetSegCount(), 0);
    EXPECT_TRUE(cellsWith(traceInk).empty());
    EXPECT_EQ(polyReadRvl("/nonexistent/a.RVL", 10), 0);
    int x = 0, y = 0;
    EXPECT_EQ(polyFindVertexNear(5, 3, 3, x, y), 0);
}

TEST_F(TraceGridTest, JointsMarkedOnceAndLooseStartsMarked)
{
    // Polyline 1 ends where polyline 2 starts; polyline 3 starts elsewhere.
    openWith("PS\n0 9\n4 9\nPE\nPS\n4 9\n4 5\nPE\nPS\n8 1\n8 3\nPE\n", 10, 10);
    ASSERT_EQ(polyGetSegCount(), 3);
    EXPECT_EQ(cellsWith(traceEndPoint), (Cells{{0, 0}, {4, 0}, {4, 4}, {8, 8}, {8, 6}}));
}

TEST_F(TraceGridTest, LinesAreOnePixelWithoutTheirLastPixel)
{
    struct Case {
        TraceSeg seg;
        Cells ink;
    } cases[] = {
        {{2, 2, 2, 2}, {}},                           // a point draws nothing
        {{0, 0, 3, 3}, {{0, 0}, {1, 1}, {2, 2}}},
        {{5, 1, 1, 1}, {{5, 1}, {4, 1}, {3, 1}, {2, 1}}},
        {{0, 0, 4, 2}, {{0, 0}, {1, 1}, {2, 1}, {3, 2}}},
        {{1, 0, 1, 3}, {{1, 0}, {1, 1}, {1, 2}}},
        {{-3, 2, 2, 2}, {{0, 2}, {1, 2}}},            // clipped at the left edge
        {{5, 5, 9, 9}, {{5, 5}, {6, 6}}},             // clipped at the far corner
        {{-1000000000, 7, 2000000000, 7}, {{0, 7}, {1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}, {6, 7}}},
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}}},
        {{-10, -10, -1, -1}, {}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(polyInit(7, 8), 1);
        polyAddSegment(c.seg.x1, c.seg.y1, c.seg.x2, c.seg.y2);
        polyGridFromBitmap(1, 7, 8);
        EXPECT_EQ(cellsWith(traceInk), c.ink) << c.seg.x1 << "," << c.seg.y1 << " " << c.seg.x2 << "," << c.seg.y2;
    }
}

TEST_F(TraceGridTest, EndPointsOutsideTheGridAreNeverWritten)
{
    openWith("PS\n-5 3\n3 3\n12 3\nPE\n", 10, 10);
    EXPECT_EQ(cellsWith(traceEndPoint), (Cells{{3, 6}}));
    int x = 0, y = 0;
    ASSERT_EQ(polyFindVertexNear(20, 0, 6, x, y), 1);
    EXPECT_EQ(std::pair(x, y), std::pair(3, 6));
    polySetCell(-1, 0, traceEndPoint);
    polySetCell(10, 0, traceEndPoint);
    EXPECT_EQ(polyGetCell(-1, 0), traceEmpty);
    EXPECT_EQ(polyGetCell(10, 0), traceEmpty);
}

TEST_F(TraceGridTest, MalformedBlocks)
{
    struct Case {
        std::string rvl;
        int segs;
    } cases[] = {
        {"PS\n1 1\nnot a point\n\n3 x\n5 5\nPE\n", 1},   // non-points passed over
        {"1 1\n2 2\nPS\n3 3\nPE\n", 0},                  // points outside blocks; one-point block
        {"PS\n1 1\n2 2\nPS\n7 7\n8 8\nPE\n", 3},         // only PE ends a block: PS is passed over
        {"PS\n1 1\n2 2\n3 3", 2},                        // unterminated at the end of the file
        {"PS\n99999999999999999999 1\n2 2\nPE\n", 1},
        {"PSX\n1 1 junk\n2 2\nPE", 1},
    };
    for (const Case& c : cases) {
        openWith(c.rvl, 10, 10);
        EXPECT_EQ(polyGetSegCount(), c.segs) << c.rvl;
    }

    // The points on either side of a stray PS are joined, as in any other block.
    openWith("PS\n1 1\n2 2\nPS\n7 7\nPE\n", 10, 10);
    ASSERT_EQ(polyGetSegCount(), 2);
    const TraceSeg& joined = polyGetGrid().segs[1];
    EXPECT_EQ((std::array{joined.x1, joined.y1, joined.x2, joined.y2}), (std::array{2, 7, 7, 2}));
}

TEST_F(TraceGridTest, SegmentCapacityDoublesWhenFull)
{
    ASSERT_EQ(polyInit(4, 4), 1);
    EXPECT_EQ(polyGetGrid().segCapacity, 1000);
    for (int i = 0; i < 1000; ++i)
        polyAddSegment(0, 0, 1, 1);
    EXPECT_EQ(polyGetGrid().segCapacity, 1000);
    EXPECT_EQ(polyAddSegment(1, 1, 2, 2), 1001);
    EXPECT_EQ(polyGetGrid().segCapacity, 2000);
    EXPECT_EQ(polyGetGrid().segs[1000].x2, 2);
}

TEST_F(TraceGridTest, SnappingOrderAndRadius)
{
    ASSERT_EQ(polyInit(20, 20), 1);
    int x = -1, y = -1;
    polySetCell(10, 10, traceEndPoint);
    EXPECT_EQ(polyFindVertexNear(0, 10, 10, x, y), 0); // radius 0 searches nothing
    EXPECT_EQ(polyFindVertexNear(1, 10, 10, x, y), 1);
    EXPECT_EQ(std::pair(x, y), std::pair(10, 10));
    EXPECT_EQ(polyFindVertexNear(-3, 10, 10, x, y), 0);

    struct Case {
        std::vector<std::pair<int, int>> ends;
        int radius;
        int found; // 0: none
        std::pair<int, int> at;
    } cases[] = {
        {{{12, 8}, {8, 12}}, 3, 1, {8, 12}},          // same distance: smaller x offset
        {{{9, 12}, {9, 8}}, 3, 1, {9, 8}},            // then smaller y offset
        {{{13, 10}, {11, 11}}, 5, 1, {11, 11}},       // nearer square first
        {{{13, 10}}, 3, 0, {}},                       // distance 3 needs radius 4
        {{{13, 10}}, 4, 1, {13, 10}},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(polyInit(20, 20), 1);
        for (auto [ex, ey] : c.ends)
            polySetCell(ex, ey, traceEndPoint);
        polySetCell(10, 11, traceInk);
        x = y = -1;
        EXPECT_EQ(polyFindVertexNear(c.radius, 10, 10, x, y), c.found);
        if (c.found) {
            EXPECT_EQ(std::pair(x, y), c.at);
        }
    }

    // Clicks off the sheet and absurd radii stay bounded.
    ASSERT_EQ(polyInit(5, 5), 1);
    polySetCell(4, 4, traceEndPoint);
    EXPECT_EQ(polyFindVertexNear(INT32_MAX, -100, -100, x, y), 1);
    EXPECT_EQ(std::pair(x, y), std::pair(4, 4));
    EXPECT_EQ(polyFindVertexNear(INT32_MAX, INT32_MAX, INT32_MIN, x, y), 0); // beyond the radius
}

TEST_F(TraceGridTest, MarkingAnEmptyListTouchesNothing)
{
    ASSERT_EQ(polyInit(3, 3), 1);
    polySetCell(1, 1, traceInk);
    EXPECT_EQ(polyMarkVertices(), 1);
    EXPECT_EQ(cellsWith(traceInk), (Cells{{1, 1}}));
    EXPECT_TRUE(cellsWith(traceEndPoint).empty());
}

TEST_F(TraceGridTest, GridTooLargeFailsCleanly)
{
    ASSERT_EQ(polyInit(4, 4), 1);
    testutil::MessageRecorder messages;
    EXPECT_EQ(polyInit(1 << 20, 1 << 20), 0);
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_FALSE(polyGetGrid().made);
    EXPECT_EQ(polyAddSegment(0, 0, 1, 1), 0);
    EXPECT_EQ(polyGetSegCount(), 0);
    int x = 0, y = 0;
    EXPECT_EQ(polyFindVertexNear(5, 0, 0, x, y), 0);
    EXPECT_EQ(polyGridFromBitmap(1, 10, 10), 1);
    EXPECT_EQ(polyGetCell(0, 0), traceEmpty);
}

TEST_F(TraceGridTest, FreeAndZeroSize)
{
    openWith("PS\n0 0\n3 0\nPE\n", 5, 5);
    polyFree();
    EXPECT_EQ(polyGetSegCount(), 0);
    EXPECT_EQ(polyGetCell(0, 4), traceEmpty);
    ASSERT_EQ(polyInit(0, -3), 1);
    polyAddSegment(0, 0, 5, 5);
    polyGridFromBitmap(1, 5, 5);
    polyMarkVertices();
    int x = 0, y = 0;
    EXPECT_EQ(polyFindVertexNear(3, 0, 0, x, y), 0);
}

// An A0 sheet's grid holds memory only where lines run: one short line and its ends take one
// block of tiles, not a byte for each of the sheet's 247 million cells.
TEST_F(TraceGridTest, MemoryOnlyWhereLinesRun)
{
    ASSERT_EQ(polyInit(13200, 18700), 1);
    polyAddSegment(100, 100, 140, 120);
    polyGridFromBitmap(1, 13200, 18700);
    polyMarkVertices();
    EXPECT_EQ(polyGetCell(120, 110), traceInk);
    EXPECT_EQ(polyGetCell(140, 120), traceEndPoint);
    EXPECT_EQ(polyGetCell(13199, 18699), traceEmpty);
    EXPECT_EQ(polyGetGrid().tileMemory.size(), 1u);
}

} // namespace
