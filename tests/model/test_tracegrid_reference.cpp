// The trace grid as built for speed (bands, skipped clearing, stepped lines) against a plain
// reference that draws every segment pixel by pixel from the rounding rule and marks the ends
// in list order: every cell must agree.
#include "model/tracegrid.h"
#include "tracegrid_reference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace {

using tracegridref::Reference;

// Polylines wandering as a vectoriser writes them, some leaving the grid, plus long lines
// across it at every slope and a few with extreme ends.
std::vector<TraceSeg> lineWork(int width, int height, int polylines, unsigned seed)
{
    std::mt19937 rng(seed);
    auto in = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
    std::vector<TraceSeg> segs;
    for (int p = 0; p < polylines; ++p) {
        int x = in(-20, width + 20), y = in(-20, height + 20);
        const int points = in(2, 40), reach = in(1, 4) == 1 ? 400 : 30;
        for (int k = 1; k < points; ++k) {
            const int nx = x + in(-reach, reach), ny = y + in(-reach, reach);
            segs.push_back({x, y, nx, ny});
            x = nx;
            y = ny;
        }
        if (in(0, 3) == 0) // a loose start: the next polyline does not join this one
            segs.push_back({in(0, width - 1), in(0, height - 1), in(0, width - 1), in(0, height - 1)});
    }
    for (int k = 0; k < 200; ++k)
        segs.push_back({in(-width, 2 * width), in(-height, 2 * height), in(-width, 2 * width), in(-height, 2 * height)});
    segs.push_back({INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    segs.push_back({INT_MAX, 3, INT_MIN, height - 3});
    segs.push_back({5, INT_MIN, width - 5, INT_MAX});
    segs.push_back({0, 0, width, height});
    segs.push_back({width - 1, 0, 0, height - 1});
    return segs;
}

void expectSameCells(const Reference& ref, const char* what)
{
    const TraceGrid& g = polyGetGrid();
    ASSERT_EQ(g.width, ref.width);
    ASSERT_EQ(g.height, ref.height);
    const int64_t at = tracegridref::firstDifference(ref);
    if (at >= 0)
        ADD_FAILURE() << what << ": first differing cell (" << at % ref.width << ", " << at / ref.width
                      << "): " << polyGetCell(int(at % ref.width), int(at / ref.width)) << " against "
                      << int(ref.cells[static_cast<size_t>(at)]);
}

class TraceGridReference : public ::testing::Test {
protected:
    void TearDown() override { polyFree(); }
};

// Small grids drawn in one piece and sheet-sized ones drawn in bands on several threads, each
// built twice: on fresh memory, then again over the first build with a covered area smaller
// than the grid, where the cells outside it keep what they held.
TEST_F(TraceGridReference, FastBuildEqualsPlainDrawing)
{
    struct Case {
        int width, height, polylines;
    } cases[] = {{1, 1, 5}, {37, 3, 20}, {3, 41, 20}, {301, 257, 400}, {8200, 8200, 3000}, {2500, 13500, 1500}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        ASSERT_EQ(polyInit(c.width, c.height), 1);
        for (const TraceSeg& s : lineWork(c.width, c.height, c.polylines, seed++))
            polyAddSegment(s.x1, s.y1, s.x2, s.y2);
        const std::vector<TraceSeg> segs = polyGetGrid().segs;
        Reference ref(c.width, c.height);

        polyGridFromBitmap(1, c.width, c.height);
        ref.build(segs, c.width, c.height);
        expectSameCells(ref, "lines");
        polyMarkVertices();
        ref.mark(segs);
        expectSameCells(ref, "lines and ends");

        const int w = std::max(1, c.width * 2 / 3), h = std::max(1, c.height - 2);
        polyGridFromBitmap(1, w, h);
        ref.build(segs, w, h);
        expectSameCells(ref, "smaller covered area over the first build");
        polyGridFromBitmap(1, c.width, c.height);
        ref.build(segs, c.width, c.height);
        expectSameCells(ref, "whole area again");
    }
}

// A cell written between polyInit and the build is cleared by the build like any other.
TEST_F(TraceGridReference, CellsSetBeforeTheBuildAreCleared)
{
    ASSERT_EQ(polyInit(6000, 6000), 1);
    polySetCell(5, 5, traceEndPoint);
    polySetCell(5990, 5990, traceInk);
    polyAddSegment(0, 1, 4, 1);
    polyGridFromBitmap(1, 6000, 6000);
    EXPECT_EQ(polyGetCell(5, 5), traceEmpty);
    EXPECT_EQ(polyGetCell(5990, 5990), traceEmpty);
    EXPECT_EQ(polyGetCell(3, 1), traceInk);

    // The same with no segment at all, on a small grid.
    ASSERT_EQ(polyInit(4, 4), 1);
    polySetCell(1, 2, traceInk);
    polyGridFromBitmap(1, 4, 4);
    EXPECT_EQ(polyGetCell(1, 2), traceEmpty);
}

} // namespace
