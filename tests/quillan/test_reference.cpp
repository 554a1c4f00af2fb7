// The library against the plain pixel-by-pixel conversion on many generated images: same
// thinned image, same node points, same RVL text.
#include "fixture.h"
#include "node.h"
#include "quillan.h"
#include "reference.h"
#include "testutil.h"
#include "thin.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using qtest::WorkBitmap;

// Strokes of several widths, filled blobs and speckle, on images of awkward sizes, with row
// padding of either value.
WorkBitmap generate(std::mt19937& rng)
{
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int w = uniform(1, 140);
    const int h = uniform(1, 90);
    WorkBitmap b(w, h, uniform(0, 1) == 1);
    b.inkPadding = uniform(0, 1) == 1;
    const int kind = uniform(0, 3);
    auto disc = [&](int cx, int cy, int r) {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if (x >= 0 && y >= 0 && x < w && y < h && (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    b.set(x, y);
    };
    const int strokes = uniform(0, 8);
    for (int s = 0; s < strokes; ++s) {
        const int x0 = uniform(-5, w + 5), y0 = uniform(-5, h + 5), x1 = uniform(-5, w + 5), y1 = uniform(-5, h + 5);
        const int r = kind == 0 ? 0 : uniform(0, 3);
        const int n = std::max(std::abs(x1 - x0), std::abs(y1 - y0)) + 1;
        for (int i = 0; i <= n; ++i)
            disc(x0 + (x1 - x0) * i / n, y0 + (y1 - y0) * i / n, r);
    }
    if (kind == 2)
        for (int i = uniform(0, 3); i > 0; --i)
            disc(uniform(0, w), uniform(0, h), uniform(2, 12));
    if (kind == 3) {
        const int percent = uniform(5, 60);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (uniform(0, 99) < percent)
                    b.set(x, y);
    }
    return b;
}

qref::Image refImage(std::string& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const long w = static_cast<std::int32_t>(p[18] | p[19] << 8 | p[20] << 16 | static_cast<unsigned>(p[21]) << 24);
    const long h = static_cast<std::int32_t>(p[22] | p[23] << 8 | p[24] << 16 | static_cast<unsigned>(p[25]) << 24);
    return qref::Image{reinterpret_cast<unsigned char*>(bytes.data()) + 62, w, h, (w + 31) / 32 * 4, 0};
}

TEST(QuillanReference, ThinningNodePointsAndPolylinesMatch)
{
    testutil::TempDir dir;
    const std::string src = dir.file("r.TMP");
    const std::string out = dir.file("r.RVL");
    std::mt19937 rng(20260);
    // Blocks of a few rows on several threads, however little work each holds: their seams
    // are judged like any other row.
    quillan::Workers workers(4, 0);
    for (int round = 0; round < 400; ++round) {
        const WorkBitmap b = generate(rng);
        const std::string original = b.bytes();

        // Thinning alone.
        std::string ours = original;
        std::string theirs = original;
        int polarity = -1;
        auto* view = reinterpret_cast<unsigned char*>(ours.data());
        const int passes = quillan::thinImage(view, ours.size(), polarity, workers);
        qref::Image ref = refImage(theirs);
        const int refPasses = qref::thin(ref);
        ASSERT_EQ(passes, refPasses) << round;
        ASSERT_EQ(polarity, ref.polarity) << round;
        ASSERT_EQ(ours, theirs) << "thinned image differs in round " << round;

        // Node points of the thinned image.
        quillan::WorkImage img = quillan::workImageFromHeader(view, quillan::bmpReadHeader(view));
        img.polarity = polarity;
        quillan::PointList nodes;
        ASSERT_TRUE(quillan::nodeFindPoints(img, nodes, workers));
        const std::vector<qref::Pt> refNodes = qref::nodePoints(ref);
        ASSERT_EQ(nodes.size(), refNodes.size()) << round;
        for (std::size_t i = 0; i < nodes.size(); ++i)
            ASSERT_TRUE(nodes[i].x == refNodes[i].x && nodes[i].y == refNodes[i].y) << round;

        // The whole conversion, with the tolerance varied.
        const double tolerance = round % 3 == 0 ? 1.4143 : round % 3 == 1 ? 0.7 : 3.0;
        testutil::writeBytes(src, original);
        ASSERT_EQ(quillanourCnv(src.c_str(), 0, out.c_str(), tolerance, -1.0), 1);
        std::string expectedImage = original;
        qref::Image whole = refImage(expectedImage);
        const std::string expected = qref::convert(whole, tolerance, 1.0);
        ASSERT_EQ(testutil::readBytes(out), expected) << "RVL differs in round " << round;
        ASSERT_EQ(testutil::readBytes(src), expectedImage) << round;
    }
}

// Long one-pixel lines at every slope, straight or slightly bent, so that simplification
// judges long runs of vertices against wide corridors.
TEST(QuillanReference, LongLinesSimplifyAlike)
{
    testutil::TempDir dir;
    const std::string src = dir.file("l.TMP");
    const std::string out = dir.file("l.RVL");
    std::mt19937 rng(4711);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int round = 0; round < 60; ++round) {
        WorkBitmap b(700, 500, round % 2 == 1);
        for (int line = 0; line < 3; ++line) {
            const double x0 = uniform(0, 699), y0 = uniform(0, 499), x1 = uniform(0, 699), y1 = uniform(0, 499);
            const double bend = uniform(-20, 20);
            const int n = static_cast<int>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1;
            for (int i = 0; i <= n; ++i) {
                const double t = static_cast<double>(i) / n;
                const int x = static_cast<int>(x0 + (x1 - x0) * t + bend * t * (1 - t));
                const int y = static_cast<int>(y0 + (y1 - y0) * t);
                if (x >= 0 && x < 700 && y >= 0 && y < 500)
                    b.set(x, y);
            }
        }
        const std::string original = b.bytes();
        const double tolerance = round % 4 == 0 ? 1.4143 : round % 4 == 1 ? 0.6 : round % 4 == 2 ? 2.5 : 8.0;
        testutil::writeBytes(src, original);
        ASSERT_EQ(quillanourCnv(src.c_str(), 0, out.c_str(), tolerance, -1.0), 1);
        std::string expectedImage = original;
        qref::Image whole = refImage(expectedImage);
        ASSERT_EQ(testutil::readBytes(out), qref::convert(whole, tolerance, 1.0)) << "RVL differs in round " << round;
    }
}

} // namespace
