#include "model/geometry.h"
#include "model/pdata.h"

#include "testutil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testutil::MessageRecorder;

namespace {

const char kParallelLine[] = "ERROR in senbun_no_kouten() in 2D-equations.h\n";

TPRec polygon(std::vector<TPoint> pts)
{
    TPRec r;
    r.kind = PK_POLYGON;
    r.nPts = static_cast<int>(pts.size());
    r.pts = std::move(pts);
    PData::PD_CalcBox(r);
    return r;
}

// A closed zigzag that crosses its middle scan line 24 times.
TPRec zigzag()
{
    std::vector<TPoint> pts;
    for (int i = 0; i <= 23; ++i)
        pts.push_back({i * 10, i % 2 ? 20 : 0});
    pts.push_back({230, 0}); // back along y = 0: parallel to the scan line
    return polygon(pts);
}

} // namespace

TEST(Geometry, SegmentIntersection)
{
    struct Case {
        double a[4], b[4];
        int result;
        double x, y;
        bool parallelLine;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {0, 10, 10, 0}, 1, 5, 5, false},
        {{0, 0, 1, 1}, {3, 0, 2, 1}, 0, 1.5, 1.5, false},     // lines meet outside both
        {{0, 0, 10, 0}, {0, 5, 10, 5}, -1, 0, 0, true},       // parallel
        {{0, 0, 10, 10}, {2, 2, 8, 8}, -1, 0, 0, true},       // collinear
        {{0, 0, 0, 0}, {0, 0, 5, 5}, -1, 0, 0, true},         // a point is no segment
        {{0, 0, 10, 0}, {10, 0, 10, 10}, 1, 10, 0, false},    // touch at end points
        {{0, 0, 10, 0}, {5, 0, 5, 10}, 1, 5, 0, false},       // B's end on A
        {{5, 0, 5, 10}, {0, 10, 10, 10}, 1, 5, 10, false},    // A's end on B
        {{0, 0, 10, 0}, {5, 1, 5, 10}, 0, 5, 0, false},       // just short of A
    };
    for (const Case& c : cases) {
        double x = -1, y = -1;
        testing::internal::CaptureStdout();
        const int r = senbun_no_kouten(x, y, c.a[0], c.a[1], c.a[2], c.a[3], c.b[0], c.b[1],
                                       c.b[2], c.b[3]);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(r, c.result) << c.a[0] << "," << c.a[1] << " " << c.b[0] << "," << c.b[1];
        EXPECT_DOUBLE_EQ(x, c.x);
        EXPECT_DOUBLE_EQ(y, c.y);
        EXPECT_EQ(out, c.parallelLine ? kParallelLine : "");
    }
}

TEST(Geometry, LabelPoint)
{
    struct Case {
        const char* what;
        std::vector<TPoint> pts;
        TPoint label;
    };
    const Case cases[] = {
        {"rectangle", {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {5, 5}},
        {"scan line through a vertex", {{0, 5}, {5, 0}, {10, 5}, {5, 10}}, {0, 5}},
        {"all on one horizontal line", {{0, 3}, {10, 3}, {5, 3}}, {5, 3}},
        {"odd middle truncates", {{-3, -3}, {4, -3}, {4, 0}, {-3, 0}}, {0, -1}},
        // The first two hits in edge order are x 0 and 30, so the label lands in the notch.
        {"first hits in edge order, not along the line",
         {{0, 0}, {30, 0}, {30, 20}, {20, 20}, {20, 5}, {10, 5}, {10, 20}, {0, 20}},
         {15, 10}},
        {"single point", {{7, 8}}, {7, 8}},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStdout(); // parallel edges report there
        const TPoint p = PD_CalcLabelPos(polygon(c.pts));
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(p, c.label) << c.what << ": " << p.x << "," << p.y;
    }
}

TEST(Geometry, TooComplexIsReportedAndStillLabelled)
{
    testing::internal::CaptureStdout();
    {
        MessageRecorder msgs;
        EXPECT_EQ(PD_CalcLabelPos(zigzag()), TPoint(10, 10)); // from the first two hits
        EXPECT_EQ(msgs.messages, std::vector<std::string>{"複雑すぎる"});
    }
    {
        MessageRecorder msgs;
        bool shown = false;
        PD_CalcLabelPos(zigzag(), &shown);
        PD_CalcLabelPos(zigzag(), &shown);
        EXPECT_TRUE(shown);
        EXPECT_EQ(msgs.messages.size(), 1u);
    }
    testing::internal::GetCapturedStdout();
}

TEST(Geometry, ManyComplexPolygonsInOneLoadReportOnce)
{
    testutil::TempDir dir;
    const TPRec z = zigzag();
    std::string file = "3 1\n";
    for (int r = 0; r < 3; ++r) {
        file += "0 " + std::to_string(z.nPts) + " 0 0 0 0 0 0 0 0 0 0 z\n";
        for (const TPoint& p : z.pts)
            file += std::to_string(p.x) + " " + std::to_string(p.y) + "\n";
    }
    testutil::writeBytes(dir.file("z.ZKI"), file);
    testing::internal::CaptureStdout();
    MessageRecorder msgs;
    PData pd;
    EXPECT_EQ(pd.PD_LoadFile(dir.file("z.ZKI"), 0), 3);
    EXPECT_EQ(pd.PD_LoadFile(dir.file("z.ZKI"), 0), 3);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(msgs.messages.size(), 2u); // once per load
    EXPECT_EQ(pd.recs[2].labelX, 10);
}
