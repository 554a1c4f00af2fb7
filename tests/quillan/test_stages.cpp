// The stages one by one: simplification, vertex collapsing and the rows thinning visits.
#include "chain.h"
#include "fixture.h"
#include "node.h"
#include "polyline.h"
#include "testutil.h"
#include "thin.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using qtest::Polyline;

quillan::PointList points(const Polyline& p)
{
    quillan::PointList v;
    for (const auto& [x, y] : p)
        v.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)});
    return v;
}

std::string simplified(const Polyline& chain, double tolerance, double minimumLength = 1.0)
{
    testutil::TempDir dir;
    const std::string path = dir.file("s.RVL");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    {
        quillan::RvlWriter out(f);
        quillan::polylineSimplifyWrite(out, points(chain), tolerance, minimumLength);
    }
    std::fclose(f);
    return testutil::readBytes(path);
}

TEST(QuillanSimplify, KeepsTheVerticesTheRuleKeeps)
{
    struct Case {
        const char* name;
        Polyline chain;
        double tolerance;
        std::vector<Polyline> expected;
    };
    const Polyline zigzag7 = {{0, 0}, {1, 3}, {2, 0}, {3, 3}, {4, 0}, {5, 3}, {6, 0}};
    const std::vector<Case> cases = {
        // The direction seen from the anchor jumps between just below 2π and 0.
        {"wobble", {{0, 0}, {1, 0}, {2, -1}, {3, -1}, {4, 0}, {5, 0}, {6, -1}, {7, -1}, {8, 0}}, 1.4143,
         {{{0, 0}, {1, 0}, {3, -1}, {8, 0}}}},
        // The vertex kept is the one before the first that leaves the corridor, not the apex.
        {"roof", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 3}, {6, 2}, {7, 1}, {8, 0}}, 1.4143,
         {{{0, 0}, {5, 3}, {8, 0}}}},
        {"diagonal", {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}, {8, 8}, {9, 9}}, 1.4143,
         {{{0, 0}, {9, 9}}}},
        {"seven vertices pass as walked", zigzag7, 100.0, {zigzag7}},
        {"seven vertices, narrow corridor", zigzag7, 0.01, {zigzag7}},
        {"one vertex", {{4, 4}}, 1.4143, {}},
        {"coincident vertices have no length", {{4, 4}, {4, 4}, {4, 4}}, 1.4143, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(simplified(c.chain, c.tolerance), qtest::rvlText(c.expected)) << c.name;
}

TEST(QuillanSimplify, MinimumLengthDropsShortChains)
{
    const Polyline line = {{0, 0}, {3, 4}};
    EXPECT_EQ(simplified(line, 1.4143, 5.0), qtest::rvlText({line}));
    EXPECT_EQ(simplified(line, 1.4143, 5.0001), "");
    EXPECT_EQ(simplified(line, 1.4143, 0.0), qtest::rvlText({line}));
}

TEST(QuillanChain, HorizontalAndVerticalRunsCollapseDiagonalsStay)
{
    struct Case {
        const char* name;
        Polyline walk;
        Polyline kept;
    };
    const std::vector<Case> cases = {
        {"horizontal run", {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, {{0, 0}, {3, 0}}},
        {"vertical then horizontal", {{0, 0}, {0, 1}, {0, 2}, {1, 2}, {2, 2}}, {{0, 0}, {0, 2}, {2, 2}}},
        {"diagonal", {{0, 0}, {1, 1}, {2, 2}, {3, 3}}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}},
        {"step", {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 1}}, {{0, 0}, {1, 0}, {2, 1}, {4, 1}}},
    };
    for (const Case& c : cases) {
        quillan::Chain chain = quillan::chainNew();
        for (const auto& p : points(c.walk))
            ASSERT_EQ(quillan::chainAddPoint(chain, p), 1);
        EXPECT_EQ(chain.vertices, points(c.kept)) << c.name;
    }
}

TEST(QuillanNodeIndex, FindsEveryNodePointAndNothingElse)
{
    // Tall images group rows into bands; a lookup must not depend on that.
    for (const std::int32_t height : {40, 100000000}) {
        const quillan::PointList nodes = {{5, 0}, {2, 3}, {7, 3}, {9, 3}, {0, 39}};
        const quillan::NodeIndex index(nodes, height);
        for (std::size_t i = 0; i < nodes.size(); ++i)
            EXPECT_EQ(index.find(nodes[i]), i + 1) << height;
        for (const quillan::Point p : {quillan::Point{6, 0}, {2, 2}, {8, 3}, {-1, 3}, {0, 40}, {0, -1}, {5, height}})
            EXPECT_EQ(index.find(p), 0u) << height << " " << p.x << "," << p.y;
    }
    const quillan::PointList none;
    EXPECT_EQ(quillan::NodeIndex(none, 0).find({0, 0}), 0u);
}

// The neighbourhood lookup a walk's end uses answers as nine single lookups would, at the
// image's edges, in bands of several rows and around crowded rows.
TEST(QuillanNodeIndex, NeighbourhoodAgreesWithSingleLookups)
{
    for (const std::int32_t height : {12, 100000000}) {
        const quillan::PointList nodes = {{0, 0}, {1, 0}, {2, 0}, {5, 1}, {3, 3}, {4, 3}, {5, 3}, {6, 3},
                                          {4, 4}, {0, 5}, {9, 5}, {4, 6}, {3, 11}, {4, 11}};
        const quillan::NodeIndex index(nodes, height);
        for (std::int32_t y = -1; y <= 13; ++y) {
            for (std::int32_t x = -1; x <= 11; ++x) {
                unsigned expected = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (index.find({x + dx, y + dy}))
                            expected |= 1u << (3 * (dy + 1) + dx + 1);
                EXPECT_EQ(index.around({x, y}), expected) << height << " " << x << "," << y;
            }
        }
    }
}

TEST(QuillanPolarity, InkIsTheMinorityOfTheSampleGrid)
{
    struct Case {
        const char* name;
        int width, height;
        bool (*set)(int x, int y);
        int polarity;
    };
    const std::vector<Case> cases = {
        // Steps of 3: only every third column of every third row counts.
        {"set everywhere but the sample grid", 300, 300, [](int x, int y) { return x % 3 != 0 || y % 3 != 0; }, 0},
        {"set only on the sample grid", 300, 300, [](int x, int y) { return x % 3 == 0 && y % 3 == 0; }, 255},
        // Column step 2, row step 1.
        {"set on odd columns", 250, 99, [](int x, int) { return x % 2 == 1; }, 0},
        {"set on even columns", 250, 99, [](int x, int) { return x % 2 == 0; }, 255},
        // Below 200 every pixel is sampled; a tie makes the set bits the ink.
        {"tie", 2, 1, [](int x, int) { return x == 0; }, 0},
        {"majority set", 150, 150, [](int x, int y) { return (x + y) % 3 != 0; }, 255},
    };
    for (const Case& c : cases) {
        qtest::WorkBitmap b(c.width, c.height);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x)
                b.set(x, y, c.set(x, y));
        std::string bytes = b.bytes();
        const auto* view = reinterpret_cast<const unsigned char*>(bytes.data());
        EXPECT_EQ(quillan::bmpDetectPolarity(quillan::bmpReadHeader(view), view + quillan::kPixelOffset), c.polarity)
            << c.name;
    }
}

// A 2 × 2 block loses every pixel in the rows a sub-iteration evaluates, so blocks across
// each pair of rows show which rows were evaluated.
TEST(QuillanThin, RowsNearChangedRowsAreEvaluated)
{
    const int height = 30;
    qtest::WorkBitmap b(3 * height + 2, height);
    for (int y = 0; y + 1 < height; ++y)
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                b.set(3 * y + dx, y + dy);
    struct Case {
        const char* name;
        std::vector<int> dirtyRows;
        std::vector<int> evaluated;
    };
    std::vector<int> all(height);
    for (int y = 0; y < height; ++y)
        all[static_cast<std::size_t>(y)] = y;
    const std::vector<Case> cases = {
        {"rows 10 and 20 changed", {10, 20}, {10, 20, 21}},
        {"neighbouring rows", {10, 11}, {10, 11, 12}},
        {"within two rows", {4, 6}, {4, 5, 6, 7}},
        {"two clean rows between", {10, 13}, {10, 11, 12, 13, 14}},
        {"three clean rows between", {10, 14}, {10, 14, 15}},
        {"first and last rows", {0, 29}, {0, 29}},
        {"every row", all, all},
        {"none", {}, {}},
    };
    for (const Case& c : cases) {
        std::string bytes = b.bytes();
        auto* view = reinterpret_cast<unsigned char*>(bytes.data());
        quillan::WorkImage img = quillan::workImageFromHeader(view, quillan::bmpReadHeader(view));
        img.polarity = 0;
        std::vector<std::uint8_t> dirty(height, 0), dirtyNext(height, 0);
        for (int r : c.dirtyRows)
            dirty[static_cast<std::size_t>(r)] = 1;
        quillan::Workers workers(3, 0);
        quillan::ThinBuffers buffers;
        const std::int64_t removed = quillan::thinSubIteration(img, dirty.data(), dirtyNext.data(),
                                                               quillan::ThinCondition::SouthEast, workers, buffers);
        std::vector<int> changed;
        for (int y = 0; y < height; ++y) {
            int ink = 0;
            for (int x = 0; x < b.width; ++x)
                ink += quillan::pixelIsForeground(img, x, y);
            const int before = (y == 0 || y == height - 1) ? 2 : 4;
            if (ink != before)
                changed.push_back(y);
            EXPECT_EQ(dirtyNext[static_cast<std::size_t>(y)] != 0, ink != before) << c.name << " row " << y;
        }
        EXPECT_EQ(changed, c.evaluated) << c.name;
        std::int64_t expectedRemoved = 0;
        for (int y : c.evaluated)
            expectedRemoved += (y == 0 || y == height - 1) ? 2 : 4;
        EXPECT_EQ(removed, expectedRemoved) << c.name;
    }
}

} // namespace
