#include "model/pdata.h"

#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using testutil::MessageRecorder;
using testutil::readBytes;
using testutil::TempDir;
using testutil::writeBytes;

namespace {

TPRec makeRec(int kind, std::vector<TPoint> pts, std::string name = "a")
{
    TPRec r;
    r.kind = kind;
    r.name = std::move(name);
    r.nPts = static_cast<int>(pts.size());
    r.pts = std::move(pts);
    return r;
}

// Every field the file keeps; the box is compared too, since it is recomputed to the same value.
void expectSameFigure(const TPRec& a, const TPRec& b)
{
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.kind, b.kind);
    EXPECT_EQ(a.sizeMode, b.sizeMode);
    EXPECT_EQ(a.nPts, b.nPts);
    EXPECT_EQ(a.linkType, b.linkType);
    EXPECT_EQ(a.linkNo, b.linkNo);
    EXPECT_EQ(a.layerIndex, b.layerIndex);
    EXPECT_EQ(a.flags, b.flags);
    EXPECT_EQ(a.labelX, b.labelX);
    EXPECT_EQ(a.labelY, b.labelY);
    EXPECT_EQ(a.startPt, b.startPt);
    EXPECT_EQ(a.startAngle, b.startAngle);
    EXPECT_EQ(a.startNoOfs, b.startNoOfs);
    EXPECT_EQ(a.endPt, b.endPt);
    EXPECT_EQ(a.endAngle, b.endAngle);
    EXPECT_EQ(a.endNoOfs, b.endNoOfs);
    EXPECT_EQ(a.bbMin, b.bbMin);
    EXPECT_EQ(a.bbMax, b.bbMax);
    EXPECT_EQ(a.pts, b.pts);
}

// Two figures: a polygon with a Japanese name and every header field set, and a text.
PData twoRecordStore()
{
    PData pd;
    pd.useNames = 1;
    TPRec a = makeRec(PK_LINK_POLYGON, {{10, 20}, {30, 20}, {30, 40}}, "道路①");
    a.linkType = 3;
    a.linkNo = 12;
    a.layerIndex = 2;
    a.flags = 5;
    a.startPt = {1, 2};
    a.startAngle = 45;
    a.endPt = {3, 4};
    a.endAngle = -90;
    a.labelX = 25;
    a.labelY = 30;
    a.startNoOfs = {6, 7};
    a.endNoOfs = {-8, 9};
    a.sizeMode = 2;
    pd.PD_AddPoly(0, a);
    TPRec b = makeRec(PK_TEXT, {{100, 200}}, "");
    b.startPt = {35, 0};
    pd.PD_AddPoly(1, b);
    return pd;
}

const char* const kTwoRecordBytes =
    "2 4\r\n"
    "11 3 3 12 2 5 1 2 45 3 4 -90 \x93\xb9\x98\x48\x87\x40\r\n"
    "25 30 6 7 -8 9 2\r\n"
    "10 20\r\n"
    "30 20\r\n"
    "30 40\r\n"
    "4 1 0 0 0 0 35 0 0 0 0 0 \r\n"
    "100 200 0 0 0 0 0\r\n"
    "100 200\r\n";

std::string withLfEnds(std::string s)
{
    std::string out;
    for (char c : s)
        if (c != '\r')
            out += c;
    return out;
}

} // namespace

TEST(ZkiFile, WrittenBytesAreCp932WithCrLf)
{
    TempDir dir;
    const PData pd = twoRecordStore();
    ASSERT_EQ(pd.PD_SaveFile(dir.file("m.ZKI")), 1);
    EXPECT_EQ(readBytes(dir.file("m.ZKI")), kTwoRecordBytes);
}

TEST(ZkiFile, SaveThenLoadKeepsEveryField)
{
    TempDir dir;
    const PData saved = twoRecordStore();
    ASSERT_EQ(saved.PD_SaveFile(dir.file("m.ZKI")), 1);
    for (int layer : {0, 1}) {
        PData pd;
        pd.useNames = 1;
        ASSERT_EQ(pd.PD_LoadFile(dir.file("m.ZKI"), layer), 2);
        for (int i = 0; i < 2; ++i)
            expectSameFigure(pd.recs[i], saved.recs[i]);
    }
}

TEST(ZkiFile, LfEndsLoadTheSame)
{
    TempDir dir;
    writeBytes(dir.file("crlf.ZKI"), kTwoRecordBytes);
    writeBytes(dir.file("lf.ZKI"), withLfEnds(kTwoRecordBytes));
    PData a, b;
    a.useNames = b.useNames = 1;
    ASSERT_EQ(a.PD_LoadFile(dir.file("crlf.ZKI"), 0), 2);
    ASSERT_EQ(b.PD_LoadFile(dir.file("lf.ZKI"), 0), 2);
    for (int i = 0; i < 2; ++i)
        expectSameFigure(a.recs[i], b.recs[i]);
}

TEST(ZkiFile, FlagsOfOldVersionsOnTheFigureLayer)
{
    TempDir dir;
    struct Case {
        int version;
        int layer;
        int flags;
    };
    const Case cases[] = {{1, 0, 0}, {1, 2, 5}, {3, 0, 0}, {3, 1, 5}, {4, 0, 5}, {-1, 0, 0}};
    for (const Case& c : cases) {
        const std::string header = c.version < 0 ? "1\n" : "1 " + std::to_string(c.version) + "\n";
        const std::string lineB = c.version >= 2 ? "7 8 0 0 0 0\n" : "";
        writeBytes(dir.file("f.ZKI"), header + "1 2 0 0 0 5 0 0 0 0 0 0 n\n" + lineB + "1 1\n5 1\n");
        PData pd;
        pd.useNames = 1;
        ASSERT_EQ(pd.PD_LoadFile(dir.file("f.ZKI"), c.layer), 1) << c.version;
        EXPECT_EQ(pd.recs[0].flags, c.flags) << "version " << c.version << " layer " << c.layer;
    }
}

TEST(ZkiFile, VersionOneComputesLabelsAndZeroOffsets)
{
    TempDir dir;
    writeBytes(dir.file("v1.ZKI"), "2 1\n"
                                   "0 4 0 0 0 0 0 0 0 0 0 0 sq\n"
                                   "0 0\n10 0\n10 10\n0 10\n"
                                   "1 2 0 0 0 0 0 0 0 0 0 0 ln\n"
                                   "3 4\n8 9\n");
    PData pd;
    pd.useNames = 1;
    ASSERT_EQ(pd.PD_LoadFile(dir.file("v1.ZKI"), 0), 2);
    const TPRec& sq = pd.recs[0];
    EXPECT_EQ(TPoint(sq.labelX, sq.labelY), TPoint(5, 5)); // inside the polygon
    EXPECT_EQ(sq.bbMin, TPoint(0, 0));
    EXPECT_EQ(sq.bbMax, TPoint(10, 10));
    EXPECT_EQ(sq.startNoOfs, TPoint());
    EXPECT_EQ(sq.endNoOfs, TPoint());
    const TPRec& ln = pd.recs[1];
    EXPECT_EQ(TPoint(ln.labelX, ln.labelY), TPoint(3, 4)); // the first point
}

TEST(ZkiFile, NamesBlanksAndUseNames)
{
    TempDir dir;
    writeBytes(dir.file("n.ZKI"), "2 4\n"
                                  "1 1 0 0 0 0 0 0 0 0 0 0 two words\n0 0 0 0 0 0 0\n1 1\n"
                                  "1 1 0 0 0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0\n1 1\n");
    PData named;
    named.useNames = 1;
    ASSERT_EQ(named.PD_LoadFile(dir.file("n.ZKI"), 0), 2);
    EXPECT_EQ(named.recs[0].name, "two");
    EXPECT_EQ(named.recs[1].name, "");
    PData unnamed; // useNames 0
    ASSERT_EQ(unnamed.PD_LoadFile(dir.file("n.ZKI"), 0), 2);
    EXPECT_EQ(unnamed.recs[0].name, "name");
}

TEST(ZkiFile, TruncatedAndMissingFiles)
{
    TempDir dir;
    const std::string recA = "1 3 0 0 0 0 0 0 0 0 0 0 a\n0 0 0 0 0 0 0\n1 1\n2 2\n3 3\n";
    struct Case {
        std::string bytes;
        int count;
        int lastPts; // points of the last record loaded
    };
    const Case cases[] = {
        {"", 0, 0},
        {"3 4\n", 0, 0},
        {"3 4\n" + recA, 1, 3},
        {"3 4\n" + recA + "1 3 0 0 0 0 0 0 0 0 0 0 b\n", 1, 3},         // ends before line B
        {"3 4\n" + recA + "1 3 0 0 0 0 0 0 0 0 0 0 b\n0 0 0 0 0 0\n7 7\n", 2, 1}, // inside points
        {"3 4\n" + recA + "1 3 0 0 0 0 0 0 0 0 0 0 b\n0 0 0 0 0 0\n", 2, 0},
    };
    for (const Case& c : cases) {
        writeBytes(dir.file("t.ZKI"), c.bytes);
        PData pd;
        pd.useNames = 1;
        ASSERT_EQ(pd.PD_LoadFile(dir.file("t.ZKI"), 0), c.count) << c.bytes;
        EXPECT_EQ(pd.PD_GetCount(), c.count);
        if (c.count > 0) {
            const TPRec& last = pd.recs[c.count - 1];
            EXPECT_EQ(last.nPts, c.lastPts) << c.bytes;
            EXPECT_EQ(static_cast<int>(last.pts.size()), c.lastPts);
        }
    }

    PData pd;
    pd.PD_AddPoly(1, makeRec(1, {{1, 1}}));
    EXPECT_EQ(pd.PD_LoadFile(dir.file("none.ZKI"), 0), 0);
    EXPECT_EQ(pd.PD_GetCount(), 0); // the store is emptied first
}

TEST(ZkiFile, UnwritableFileIsReported)
{
    TempDir dir;
    const PData pd = twoRecordStore();
    // A missing folder fails to open; a full device opens and fails while writing.
    for (const std::string& path : {dir.file("no-such-folder/m.ZKI"), std::string("/dev/full")}) {
        if (path == "/dev/full" && !std::filesystem::exists(path))
            continue;
        MessageRecorder rec;
        EXPECT_EQ(pd.PD_SaveFile(path), 0) << path;
        EXPECT_EQ(rec.messages, std::vector<std::string>{"ERR OPEN " + path});
    }
}

TEST(ZkiFile, LargeFiguresKeepAllTheirPoints)
{
    TempDir dir;
    std::vector<TPoint> pts;
    for (int i = 0; i < 2500; ++i)
        pts.push_back({i, i % 7});
    PData pd;
    pd.useNames = 1;
    pd.PD_AddPoly(1, makeRec(PK_POLYLINE, pts));
    EXPECT_EQ(pd.recs[0].nPts, 2500);
    ASSERT_EQ(pd.PD_SaveFile(dir.file("big.ZKI")), 1);
    PData back;
    ASSERT_EQ(back.PD_LoadFile(dir.file("big.ZKI"), 0), 1);
    EXPECT_EQ(back.recs[0].pts, pts);
}

TEST(FigureStore, GrowthDoublesAtCapacityMinusOne)
{
    PData pd;
    EXPECT_EQ(pd.capacity, 100);
    for (int i = 0; i < 99; ++i)
        pd.PD_AddPoly(1, makeRec(1, {{i, i}}));
    EXPECT_EQ(pd.capacity, 100);
    // Adding a record of the store itself while the slots move.
    EXPECT_EQ(pd.PD_AddPoly(1, *pd.PD_GetPolyPtr(3)), 99);
    EXPECT_EQ(pd.capacity, 200);
    EXPECT_EQ(pd.recs[99].pts, (std::vector<TPoint>{{3, 3}}));
    EXPECT_EQ(pd.recs[3].pts, (std::vector<TPoint>{{3, 3}}));
}

TEST(FigureStore, AddCopiesOnlyTheUsedPointsAndSetsBoxAndLabel)
{
    PData pd;
    TPRec input = makeRec(PK_POLYLINE, std::vector<TPoint>(2000));
    input.pts[0] = {5, 9};
    input.pts[1] = {-3, 12};
    input.nPts = 2; // an input buffer with two points used
    input.labelX = input.labelY = 77;
    ASSERT_EQ(pd.PD_AddPoly(0, input), 0);
    ASSERT_EQ(pd.PD_AddPoly(1, input), 1);
    EXPECT_EQ(pd.recs[0].pts.size(), 2u);
    EXPECT_EQ(pd.recs[0].bbMin, TPoint(-3, 9));
    EXPECT_EQ(pd.recs[0].bbMax, TPoint(5, 12));
    EXPECT_EQ(TPoint(pd.recs[0].labelX, pd.recs[0].labelY), TPoint(77, 77));
    EXPECT_EQ(TPoint(pd.recs[1].labelX, pd.recs[1].labelY), TPoint(5, 9));

    // A figure without points keeps its given label and box.
    TPRec empty = makeRec(PK_TEXT, {});
    empty.labelX = 4;
    empty.bbMax = {8, 8};
    ASSERT_EQ(pd.PD_AddPoly(1, empty), 2);
    EXPECT_EQ(pd.recs[2].labelX, 4);
    EXPECT_EQ(pd.recs[2].bbMax, TPoint(8, 8));
}

TEST(FigureStore, ChangeSetHdrDeleteSwap)
{
    MessageRecorder msgs;
    PData pd;
    pd.PD_AddPoly(1, makeRec(PK_POLYGON, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, "a"));
    pd.PD_AddPoly(1, makeRec(PK_POLYLINE, {{1, 2}, {3, 4}}, "b"));
    pd.PD_AddPoly(1, makeRec(PK_POLYLINE, {{5, 6}}, "c"));

    pd.PD_ChangePoly(1, makeRec(PK_POLYLINE, {}, "x"));
    EXPECT_EQ(msgs.messages, std::vector<std::string>{"ERROR PD_ChangePoly() 0"});
    EXPECT_EQ(pd.recs[1].name, "b");

    TPRec moved = makeRec(PK_POLYGON, {{20, 20}, {40, 20}, {40, 40}, {20, 40}}, "a2");
    moved.labelX = moved.labelY = -1;
    pd.PD_ChangePoly(0, moved);
    EXPECT_EQ(TPoint(pd.recs[0].labelX, pd.recs[0].labelY), TPoint(30, 30)); // recomputed

    TPRecHdr hdr = pd.PD_GetPoly(1);
    hdr.name = "renamed";
    hdr.nPts = 50; // a header that claims more points than the figure has
    hdr.labelX = 99;
    hdr.bbMax = {1000, 1000};
    pd.PD_SetHdr(1, hdr);
    EXPECT_EQ(pd.recs[1].name, "renamed");
    EXPECT_EQ(pd.recs[1].nPts, 2);
    EXPECT_EQ(pd.recs[1].labelX, 99);        // taken as given
    EXPECT_EQ(pd.recs[1].bbMax, TPoint(1000, 1000));

    pd.PD_SwapPoly(0, 2);
    EXPECT_EQ(pd.recs[0].name, "c");
    EXPECT_EQ(pd.recs[2].name, "a2");
    pd.PD_DelPoly(0);
    ASSERT_EQ(pd.PD_GetCount(), 2);
    EXPECT_EQ(pd.recs[0].name, "renamed");
    EXPECT_EQ(pd.recs[1].name, "a2");
    EXPECT_EQ(pd.capacity, 100);
    EXPECT_EQ(pd.PD_GetPolyPtr(2), nullptr);

    pd.PD_Clear();
    EXPECT_EQ(pd.PD_GetCount(), 0);
    EXPECT_EQ(pd.capacity, 100);
}
