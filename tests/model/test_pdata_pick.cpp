#include "model/pdata.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// A figure with its label point given, so the bounds can be placed exactly.
TPRec figure(std::vector<TPoint> pts, TPoint label, std::string name = "f")
{
    TPRec r;
    r.kind = PK_POLYLINE;
    r.name = std::move(name);
    r.nPts = static_cast<int>(pts.size());
    r.pts = std::move(pts);
    r.labelX = label.x;
    r.labelY = label.y;
    return r;
}

struct Hit {
    int recIndex;
    int hitKind;
    int vtxIndex;
    TPoint hitPt;
    friend bool operator==(const Hit&, const Hit&) = default;
};

std::vector<Hit> hitsOf(const PData& pd)
{
    std::vector<Hit> out;
    for (int i = 0; i < pd.hitCount; ++i) {
        const TPolyChkRec& h = pd.hits[static_cast<size_t>(i)];
        out.push_back({h.recIndex, h.hitKind, h.vtxIndex, h.hitPt});
    }
    return out;
}

void PrintTo(const Hit& h, std::ostream* os)
{
    *os << "{rec " << h.recIndex << " kind " << h.hitKind << " vtx " << h.vtxIndex << " at "
        << h.hitPt.x << "," << h.hitPt.y << "}";
}

} // namespace

TEST(Pick, BoundsPrecedenceAndTheLabelThatEndsTheScan)
{
    // tol 5: a vertex hits below 10, a label point below 20 (city-block distances).
    PData pd;
    pd.PD_AddPoly(0, figure({{100, 100}, {110, 100}}, {300, 300}));  // 0
    pd.PD_AddPoly(0, figure({{500, 500}, {600, 600}}, {200, 180}));  // 1: label only
    pd.PD_AddPoly(0, figure({{200, 185}, {900, 900}}, {900, 900}));  // 2: vertex behind it
    pd.PD_AddPoly(0, figure({{420, 401}, {419, 400}}, {417, 400}));  // 3

    struct Case {
        TPoint at;
        std::vector<Hit> hits;
    };
    const Case cases[] = {
        {{100, 110}, {}},                                   // vertex exactly 2 * tol away
        {{100, 109}, {{0, 0, 0, {100, 100}}}},              // just inside
        {{111, 100}, {{0, 0, 1, {110, 100}}}},
        {{105, 100}, {{0, 0, 0, {100, 100}}}},              // the first vertex within the bound
        {{200, 200}, {}},                                   // label exactly 4 * tol away
        {{200, 181}, {{1, 1, 2, {200, 180}}}},              // label hit ends it: record 2 unseen
        {{417, 400}, {{3, 0, 0, {420, 401}}}},              // a vertex before the nearer label
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pd.PD_Pick(0, 5, c.at.x, c.at.y), static_cast<int>(c.hits.size()));
        EXPECT_EQ(hitsOf(pd), c.hits) << "at " << c.at.x << "," << c.at.y;
    }
}

TEST(Pick, HitTextsAndTheTwentyHitLimit)
{
    PData pd;
    for (int i = 0; i < 25; ++i) {
        TPRec r = figure({{0, 0}}, {0, 0}, "n" + std::to_string(i));
        r.linkType = i % 2 ? 3 : 0;
        r.linkNo = 40 + i;
        pd.PD_AddPoly(0, r);
    }
    EXPECT_EQ(pd.PD_Pick(1, 5, 0, 0), PD_MAX_HITS);
    EXPECT_EQ(pd.hits[7].text, "n7");
    EXPECT_EQ(pd.PD_Pick(0, 5, 0, 0), PD_MAX_HITS);
    EXPECT_EQ(pd.hits[0].text, "0");
    EXPECT_EQ(pd.hits[1].text, "3-41");
    EXPECT_EQ(pd.hits[19].recIndex, 19);
}

TEST(Pick, BothStoresShareOneTable)
{
    PData first, second;
    for (int i = 0; i < 15; ++i) {
        first.PD_AddPoly(0, figure({{i, 0}}, {1000, 1000}, "a"));
        second.PD_AddPoly(0, figure({{i, 0}}, {1000, 1000}, "b" + std::to_string(i)));
    }
    EXPECT_EQ(PD_PickBoth(20, 0, 0, &first, &second), PD_MAX_HITS);
    EXPECT_EQ(PD_GetPickHit(14).setNo, 0);
    const TPolyChkRec h = PD_GetPickHit(15);
    EXPECT_EQ(h.setNo, 1);
    EXPECT_EQ(h.recIndex, 0);
    EXPECT_EQ(h.text, "b0");

    EXPECT_EQ(PD_PickBoth(20, 0, 0, nullptr, &second), 15);
    EXPECT_EQ(PD_GetPickHit(0).setNo, 1);
    EXPECT_EQ(PD_PickBoth(20, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(PD_GetPickHit(PD_MAX_HITS).text, "");
    EXPECT_EQ(PD_GetPickHit(-1).recIndex, 0);
}

TEST(FindVertex, NearestStrictlyWithinTwiceTolFirstOfTies)
{
    PData pd;
    pd.PD_AddPoly(0, figure({{10, 0}, {0, 10}, {7, 7}}, {50, 50})); // two vertices at distance 10
    pd.PD_AddPoly(0, figure({{-10, 0}, {0, -4}}, {3, 3}));
    struct Case {
        int tol;
        int rec;
        TPoint found;
    };
    const Case cases[] = {
        {2, -1, {-99, -99}}, // 4 is not below 2 * 2
        {3, 1, {0, -4}},
        {100, 1, {0, -4}},
    };
    for (const Case& c : cases) {
        int x = -99, y = -99;
        EXPECT_EQ(pd.PD_FindVertex(c.tol, 0, 0, x, y), c.rec) << c.tol;
        EXPECT_EQ(TPoint(x, y), c.found) << c.tol;
    }

    PData ties;
    ties.PD_AddPoly(0, figure({{0, 9}, {9, 0}}, {0, 0}));
    ties.PD_AddPoly(0, figure({{-9, 0}}, {0, 0}));
    int x = 0, y = 0;
    EXPECT_EQ(ties.PD_FindVertex(10, 0, 0, x, y), 0);
    EXPECT_EQ(TPoint(x, y), TPoint(0, 9));

    EXPECT_EQ(pd.PD_FindLabel(3, 0, 0, x, y), -1); // 6 is not below 2 * 3
    EXPECT_EQ(pd.PD_FindLabel(4, 0, 0, x, y), 1);
    EXPECT_EQ(TPoint(x, y), TPoint(3, 3));
}

TEST(FindVertex, DistanceSaturatesInsteadOfOverflowing)
{
    EXPECT_EQ(PData::PD_Dist(0, 0, 3, -4), 7);
    EXPECT_EQ(PData::PD_Dist(INT_MIN, INT_MIN, INT_MAX, INT_MAX), INT_MAX);
}
