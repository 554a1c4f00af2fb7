// Figure input on the sheet view: snapping, the drawing modes, the point limit and the commit.
#include "test_input_fixture.h"

#include "platform/satint.h"

#include <clocale>
#include <cmath>

using P = std::vector<TPoint>;

// ---- snapping ----

TEST_F(InputTest, FirstPointSnapsToAVertexOrALineEndOnlyWhenTicked)
{
    struct Case {
        bool ticked;
        bool figure;
        bool line;
        TPoint expect; // (-1, -1): no point taken
    } cases[] = {
        {true, true, false, {100, 100}},  // a figure vertex
        {true, false, true, {200, 200}},  // a recognised line end
        {true, false, false, {-1, -1}},   // nothing near: the click is ignored
        {true, true, true, {100, 100}},   // the vertex wins over a nearer line end
        {false, true, true, {104, 103}},  // unticked: the click itself
        {false, false, false, {104, 103}},
    };
    for (const Case& c : cases) {
        SetUp();
        if (c.figure)
            addFigure(PK_POLYLINE, {{100, 100}, {300, 100}});
        if (c.line)
            traceLine(c.figure ? 105 : 200, c.figure ? 104 : 200, 390, 390);
        view.checkPoint = c.ticked;
        inputSetDrawMode(2);
        click(c.figure ? 104 : 202, c.figure ? 103 : 201);
        if (c.expect.x < 0) {
            EXPECT_EQ(wb.inputRec.nPts, 0);
        } else {
            ASSERT_EQ(wb.inputRec.nPts, 1);
            if (c.ticked)
                EXPECT_EQ(wb.inputRec.pts[0], c.expect);
            else
                EXPECT_EQ(wb.inputRec.pts[0], (TPoint{c.figure ? 104 : 202, c.figure ? 103 : 201}));
            EXPECT_EQ(wb.prevPoint, wb.inputRec.pts[0]);
        }
        TearDown();
    }
}

TEST_F(InputTest, SnapSearchesVertexThenLineEnd)
{
    addFigure(PK_POLYLINE, {{100, 100}, {300, 100}});
    traceLine(50, 50, 390, 60);
    TPoint f;
    ASSERT_TRUE(inputSnapToVertex(10, {105, 102}, f));
    EXPECT_EQ(f, (TPoint{100, 100}));
    ASSERT_TRUE(inputSnapToVertex(10, {53, 52}, f));
    EXPECT_EQ(f, (TPoint{50, 50}));
    EXPECT_FALSE(inputSnapToVertex(10, {200, 300}, f));
}

TEST_F(InputTest, TwoPointTextNeverSnapsItsPoints)
{
    addFigure(PK_POLYLINE, {{100, 100}, {300, 100}});
    view.checkPoint = true;
    inputSetDrawMode(5);
    moveTo(103, 102);
    click(103, 102);
    ASSERT_EQ(wb.inputRec.nPts, 1);
    EXPECT_EQ(wb.inputRec.pts[0], (TPoint{103, 102}));
    moveTo(297, 101); // near the other vertex, but the second point of the text is free
    EXPECT_EQ(wb.curPoint, (TPoint{297, 101}));
    click(297, 101);
    ASSERT_EQ(store.PD_GetCount(), 2);
    EXPECT_EQ(points(store.recs[1]), (P{{103, 102}, {297, 101}}));
}

TEST_F(InputTest, MoveReportsSnapAndHints)
{
    addFigure(PK_POLYGON, {{100, 100}, {200, 100}, {200, 200}, {100, 100}}, "Lot-7");
    TPRec* f = store.PD_GetPolyPtr(0);
    f->labelX = 160;
    f->labelY = 140;
    view.checkPoint = true;
    moveTo(165, 142);
    EXPECT_EQ(view.hint, "図形等: Lot-7");
    EXPECT_EQ(view.status, "ChkKoten: NG  165, 142");
    moveTo(102, 99);
    EXPECT_EQ(view.hint, "図形等の頂点");
    EXPECT_EQ(view.status, "ChkKoten: OK  102, 99");
    EXPECT_EQ(wb.curPoint, (TPoint{100, 100}));
    EXPECT_EQ(wb.loupeCentre, (TPoint{100, 100}));
    EXPECT_EQ(wb.xorMarkShown, 1);
    moveTo(300, 300);
    EXPECT_EQ(view.hint, "");
    EXPECT_EQ(view.status, "ChkKoten: NG  300, 300");
    EXPECT_EQ(wb.curPoint, (TPoint{100, 100})) << "the last good point stays current";
    EXPECT_EQ(wb.loupeCentre, (TPoint{300, 300}));
    EXPECT_GT(view.loupeRepaints, 0);
}

TEST_F(InputTest, ViewDivisorScalesPointsAndShiftScrolls)
{
    wb.viewDivisor = 4;
    click(10, 20);
    EXPECT_EQ(wb.inputRec.pts[0], (TPoint{40, 80}));
    view.scroll = QPoint(100, 100);
    input().mouseMove(Qt::ShiftModifier, 120, 300);
    EXPECT_EQ(view.scroll, QPoint(68, 100));
    input().mouseMove(Qt::ShiftModifier, 100 + 800 - 47, 100 + 600 - 47);
    EXPECT_EQ(view.scroll, QPoint(100, 132));
    input().mouseMove(Qt::NoModifier, 0, 0);
    EXPECT_EQ(view.scroll, QPoint(100, 132));
}

// ---- drawing modes ----

TEST_F(InputTest, PolygonClosesOnItsFirstVertexOnlyAfterThreePoints)
{
    inputSetDrawMode(1);
    clickAt(10, 10);
    clickAt(100, 10);
    clickAt(10, 10); // two points before: the first vertex is just a point
    EXPECT_EQ(store.PD_GetCount(), 0);
    EXPECT_EQ(wb.inputRec.nPts, 3);
    input().PM_PicRB_CancelClick();
    clickAt(10, 10);
    clickAt(100, 10);
    clickAt(100, 100);
    clickAt(10, 10);
    ASSERT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(points(store.recs[0]), (P{{10, 10}, {100, 10}, {100, 100}, {10, 10}}));
    EXPECT_EQ(store.recs[0].kind, PK_POLYGON);
    EXPECT_EQ(wb.inputRec.nPts, 0);
}

TEST_F(InputTest, ConfirmNeedsEnoughPoints)
{
    inputSetDrawMode(1);
    clickAt(10, 10);
    clickAt(100, 10);
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(store.PD_GetCount(), 0);
    clickAt(100, 100);
    input().PM_PicRB_FIXClick();
    ASSERT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(points(store.recs[0]), (P{{10, 10}, {100, 10}, {100, 100}, {10, 10}}));

    inputSetDrawMode(2);
    newRow();
    clickAt(5, 5);
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(store.PD_GetCount(), 1);
    clickAt(50, 5);
    input().PM_PicRB_FIXClick();
    ASSERT_EQ(store.PD_GetCount(), 2);
    EXPECT_EQ(points(store.recs[1]), (P{{5, 5}, {50, 5}}));
}

TEST_F(InputTest, RightClickWhileDrawingOpensTheInputMenuAndUndoSteps)
{
    inputSetDrawMode(2);
    clickAt(5, 5);
    clickAt(50, 5);
    clickAt(50, 60);
    rightClick(70, 80);
    EXPECT_EQ(view.picRB, 1);
    EXPECT_EQ(view.picRBAt, QPoint(70, 80));
    input().PM_PicRB_DeleteClick();
    EXPECT_EQ(wb.inputRec.nPts, 2);
    EXPECT_EQ(wb.curPoint, (TPoint{50, 5}));
    EXPECT_EQ(wb.prevPoint, (TPoint{50, 5}));
    input().PM_PicRB_DeleteClick();
    input().PM_PicRB_DeleteClick();
    input().PM_PicRB_DeleteClick(); // nothing left: harmless
    EXPECT_EQ(wb.inputRec.nPts, 0);
}

TEST_F(InputTest, HorizontalVerticalLineFollowsTheLongerAxisAndATieIsHorizontal)
{
    struct Case {
        TPoint to, expect;
    } cases[] = {{{60, 40}, {60, 10}}, {{20, 70}, {10, 70}}, {{50, 50}, {50, 10}}};
    for (const Case& c : cases) {
        SetUp();
        inputSetDrawMode(6);
        clickAt(10, 10);
        moveTo(c.to.x, c.to.y);
        EXPECT_EQ(wb.curPoint, c.expect);
        click(c.to.x, c.to.y);
        ASSERT_EQ(store.PD_GetCount(), 1);
        EXPECT_EQ(points(store.recs[0]), (P{{10, 10}, c.expect}));
        TearDown();
    }
}

TEST_F(InputTest, TwoAndThreePointShapes)
{
    inputSetDrawMode(7);
    clickAt(10, 10);
    clickAt(50, 30);
    ASSERT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(points(store.recs[0]), (P{{10, 10}, {10, 30}, {50, 30}, {50, 10}, {10, 10}}));
    EXPECT_EQ(store.recs[0].kind, PK_POLYGON);

    inputSetDrawMode(10);
    newRow();
    clickAt(0, 0);
    clickAt(100, 0);
    clickAt(120, 50);
    ASSERT_EQ(store.PD_GetCount(), 2);
    EXPECT_EQ(points(store.recs[1]), (P{{0, 0}, {100, 0}, {100, 50}, {0, 50}, {0, 0}}));

    inputSetDrawMode(11);
    newRow();
    clickAt(10, 10);
    clickAt(30, 10);
    clickAt(60, 40);
    ASSERT_EQ(store.PD_GetCount(), 3);
    EXPECT_EQ(store.recs[2].kind, PK_CALLOUT);
    EXPECT_EQ(points(store.recs[2]), (P{{10, 10}, {30, 10}, {60, 40}}));
    double x1, y1, x2, y2;
    inputPixelToMetric(10, 10, x1, y1);
    inputPixelToMetric(30, 10, x2, y2);
    EXPECT_EQ(store.recs[2].name, strPrintf("%.3lf", std::hypot(x2 - x1, y2 - y1)));
}

// A three-point rectangle whose third point lies far beyond the int range's reach: the corner
// on it stops at the saturation limit, so the fourth corner, that corner moved by the first
// side, still fits an int.
TEST_F(InputTest, ThreePointRectangleWithAFarPointSaturates)
{
    inputSetDrawMode(10);
    newRow();
    clickAt(100, 100);
    clickAt(0, 0);
    clickAt(2147483600, -2147483600);
    ASSERT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(points(store.recs[0]), (P{{100, 100},
                                        {0, 0},
                                        {kSatIntLimit, -kSatIntLimit},
                                        {kSatIntLimit + 100, -kSatIntLimit + 100},
                                        {100, 100}}));
}

TEST_F(InputTest, CircleIsStoredAsCentreAndRadiusPoint)
{
    inputSetDrawMode(9);
    clickAt(10, 10);
    clickAt(20, 10);
    ASSERT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(store.recs[0].kind, PK_CIRCLE);
    EXPECT_EQ(points(store.recs[0]), (P{{15, 10}, {20, 10}}));
}

TEST_F(InputTest, OneClickTextIsCommittedAtOnceWithoutSnapping)
{
    addFigure(PK_POLYLINE, {{100, 100}, {300, 100}});
    view.checkPoint = true;
    inputSetDrawMode(4);
    click(103, 104);
    ASSERT_EQ(store.PD_GetCount(), 2);
    EXPECT_EQ(store.recs[1].kind, PK_TEXT);
    EXPECT_EQ(points(store.recs[1]), (P{{103, 104}, {135, 104}}));
}

TEST_F(InputTest, EqualPointsAreRefused)
{
    inputSetDrawMode(9);
    clickAt(10, 10);
    click(10, 10);
    EXPECT_EQ(messages("１点目と２点目の座標が同じです"), 1);
    EXPECT_EQ(wb.inputRec.nPts, 1);
    EXPECT_EQ(store.PD_GetCount(), 0);

    inputSetDrawMode(2);
    input().PM_PicRB_CancelClick();
    clickAt(10, 10);
    clickAt(10, 10); // the last point again adds nothing
    EXPECT_EQ(wb.inputRec.nPts, 1);
}

TEST_F(InputTest, ThePointLimitRefusesWithAMessage)
{
    struct Case {
        int tag, before;
        bool closing;
        int after;
    } cases[] = {
        {2, 2000, false, 2000}, // an open line fills the buffer
        {2, 1999, false, 2000},
        {1, 1999, false, 1999}, // a polygon keeps the last slot for its closing point...
        {1, 1999, true, 0},     // ...which then closes and commits it
        {23, 999, false, 999},  // a band of 999 centre points makes 1999 points
        {23, 998, false, 999},
    };
    for (const Case& c : cases) {
        SetUp();
        inputSetDrawMode(c.tag);
        wb.inputRec.pts.resize(WB_INPUT_POINTS);
        for (int i = 0; i < c.before; ++i)
            wb.inputRec.pts[static_cast<size_t>(i)] = TPoint{i % 300, i / 300};
        wb.inputRec.nPts = c.before;
        wb.prevPoint = wb.curPoint = wb.inputRec.pts[static_cast<size_t>(c.before - 1)];
        const TPoint next = c.closing ? TPoint{0, 0} : TPoint{350, 350};
        clickAt(next.x, next.y);
        EXPECT_EQ(wb.inputRec.nPts, c.after) << c.tag << " " << c.before;
        const bool refused = c.after == c.before && !c.closing;
        EXPECT_EQ(messages("点数が上限に達しました"), refused ? 1 : 0) << c.tag << " " << c.before;
        if (c.closing) {
            EXPECT_EQ(store.PD_GetCount(), 1);
        }
        TearDown();
    }
}

// A ring is closed once: "確定" on a ring that its first vertex (or an earlier "確定") closed
// adds no second closing point, however often its dialog is cancelled, and every append of a
// point keeps to the buffer.
TEST_F(InputTest, ConfirmClosesARingOnceAndKeepsToTheBuffer)
{
    struct Case {
        const char* what;
        int before;        // points entered before the closing step
        bool closeByClick; // closed on its first vertex, else by "確定"
        int ring;          // points of the stored ring
    } cases[] = {
        {"closed on the first vertex at the limit", WB_INPUT_POINTS - 1, true, WB_INPUT_POINTS},
        {"closed on the first vertex", 3, true, 4},
        {"closed by confirm", 3, false, 4},
        {"closed by confirm at the limit", WB_INPUT_POINTS - 1, false, WB_INPUT_POINTS},
    };
    for (const Case& c : cases) {
        SetUp();
        inputSetDrawMode(1);
        for (int i = 0; i < c.before; ++i)
            wb.inputRec.pts[static_cast<size_t>(i)] = TPoint{10 + i % 300, 10 + i / 300 * 3 + (i % 2)};
        wb.inputRec.nPts = c.before;
        wb.prevPoint = wb.curPoint = wb.inputRec.pts[static_cast<size_t>(c.before - 1)];
        dialogs.answers = {1, 1, 1, 3}; // three rounds cancelled, the fourth adds
        if (c.closeByClick)
            clickAt(10, 10);
        else
            input().PM_PicRB_FIXClick();
        input().PM_PicRB_FIXClick();
        input().PM_PicRB_FIXClick();
        EXPECT_EQ(wb.inputRec.nPts, c.ring) << c.what;
        input().PM_PicRB_FIXClick();
        ASSERT_EQ(store.PD_GetCount(), 1) << c.what;
        EXPECT_EQ(store.recs[0].nPts, c.ring) << c.what;
        EXPECT_EQ(store.recs[0].pts[static_cast<size_t>(c.ring - 1)], (TPoint{10, 10})) << c.what;
        EXPECT_EQ(messages("点数が上限に達しました"), 0) << c.what;
        TearDown();
    }

    // A full open line measured as an area: its closing point does not fit, so the measure
    // is refused with the limit's message and the points stay.
    SetUp();
    inputSetDrawMode(2);
    for (int i = 0; i < WB_INPUT_POINTS; ++i)
        wb.inputRec.pts[static_cast<size_t>(i)] = TPoint{10 + i % 300, 10 + i / 300};
    wb.inputRec.nPts = WB_INPUT_POINTS;
    wb.measureState = 12;
    inputSetDrawMode(1);
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(wb.inputRec.nPts, WB_INPUT_POINTS);
    EXPECT_EQ(messages("点数が上限に達しました"), 1);
    EXPECT_TRUE(std::none_of(ui::recorded().begin(), ui::recorded().end(),
                             [](const ui::Record& r) { return r.kind == "input"; }))
        << "no area query";
}

// After a cancelled attribute dialog the same completing click commits again: the first
// vertex of a closed ring, the third point of a callout.
TEST_F(InputTest, TheCompletingClickAgainCommitsAfterACancelledDialog)
{
    struct Case {
        int tag;
        P clicks;
        TPoint again;
        P stored;
    } cases[] = {
        {1, {{10, 10}, {100, 10}, {100, 100}, {10, 10}}, {10, 10},
         {{10, 10}, {100, 10}, {100, 100}, {10, 10}}},
        {11, {{10, 10}, {100, 10}, {150, 60}}, {150, 60}, {{10, 10}, {100, 10}, {150, 60}}},
    };
    for (bool snapping : {false, true}) {
        for (const Case& c : cases) {
            SetUp();
            view.checkPoint = snapping;
            if (snapping) {
                for (const TPoint& p : c.clicks)
                    addFigure(PK_POLYLINE, {p, TPoint{p.x + 200, p.y + 200}});
            }
            newRow();
            const int before = store.PD_GetCount();
            inputSetDrawMode(c.tag);
            dialogs.answers = {1, 3};
            for (const TPoint& p : c.clicks)
                clickAt(p.x, p.y);
            EXPECT_EQ(store.PD_GetCount(), before) << c.tag;
            EXPECT_EQ(inputPoints(), c.stored) << c.tag << " the points stay";
            clickAt(c.again.x, c.again.y);
            EXPECT_EQ(dialogs.modes.size(), 2u) << c.tag << " " << snapping;
            ASSERT_EQ(store.PD_GetCount(), before + 1) << c.tag << " " << snapping;
            EXPECT_EQ(points(store.recs[static_cast<size_t>(before)]), c.stored) << c.tag;
            EXPECT_EQ(wb.inputRec.nPts, 0);
            TearDown();
        }
    }
}

// ---- the commit ----

TEST_F(InputTest, CommitAddsAfterTheAttributeDialogAndKeepsPointsWhenCancelled)
{
    inputSetDrawMode(2);
    dialogs.answers = {1};
    clickAt(5, 5);
    clickAt(50, 5);
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(store.PD_GetCount(), 0);
    EXPECT_EQ(wb.inputRec.nPts, 2) << "a cancelled dialog keeps the points";
    input().PM_PicRB_FIXClick();
    ASSERT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(dialogs.modes, (std::vector<int>{2, 2}));
    EXPECT_EQ(store.recs[0].startPt, (TPoint{5, 5}));
    EXPECT_EQ(store.recs[0].endPt, (TPoint{50, 5}));
    EXPECT_EQ(wb.inputRec.nPts, 0);
    EXPECT_EQ(view.row, 1) << "the current row is the new record's";
    EXPECT_EQ(view.changes, 1);

    // A reference layer asks the picker for its table.
    wb.curLayer = 1;
    view.store = &refStore;
    view.row = 1;
    clickAt(5, 5);
    clickAt(50, 5);
    dialogs.answers = {2}; // the dialog's close box goes on
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(refStore.PD_GetCount(), 1);
    EXPECT_EQ(dialogs.tables, (std::vector<int>{0}));
}

TEST_F(InputTest, CommitOnAFigureRowReplacesAddsOrCancels)
{
    struct Case {
        ui::Answer answer;
        int kind;
        int areaColumn;
        int count;
        std::string name;
    } cases[] = {
        {ui::Answer::Yes, PK_POLYLINE, 0, 1, "Row-1"},
        {ui::Answer::Yes, PK_CALLOUT, 0, 1, "typed"},
        {ui::Answer::No, PK_POLYLINE, 0, 2, "Row-1"},
        {ui::Answer::No, PK_POLYGON, 1, 2, ""}, // the area text
        {ui::Answer::Cancel, PK_POLYLINE, 0, 1, "Row-1"},
    };
    for (const Case& c : cases) {
        SetUp();
        addFigure(PK_POLYLINE, {{1, 1}, {9, 9}}, "Row-1", 4);
        view.row = 1;
        wb.areaColumn = c.areaColumn;
        inputSetDrawMode(c.kind == PK_POLYGON ? 1 : c.kind == PK_CALLOUT ? 11 : 2);
        wb.inputRec.name = "typed";
        wb.inputRec.layerIndex = 0;
        clickAt(10, 10);
        clickAt(60, 10);
        ui::scriptAnswer(c.answer);
        if (c.kind == PK_CALLOUT) {
            // A callout names itself when its third point is set; keep the name for the check.
            wb.inputRec.nPts = 3;
            wb.inputRec.pts[2] = TPoint{90, 90};
            input().MI_FixClick();
        } else if (c.kind == PK_POLYGON) {
            clickAt(60, 60);
            input().PM_PicRB_FIXClick();
        } else {
            input().PM_PicRB_FIXClick();
        }
        ASSERT_EQ(store.PD_GetCount(), c.count);
        const TPRec& stored = store.recs[static_cast<size_t>(c.count - 1)];
        if (c.answer == ui::Answer::Cancel) {
            EXPECT_EQ(points(stored), (P{{1, 1}, {9, 9}}));
            EXPECT_EQ(wb.inputRec.nPts, 0) << "the replace question's cancel drops the points";
        } else {
            EXPECT_EQ(stored.layerIndex, 4);
            if (c.answer == ui::Answer::Yes) {
                EXPECT_EQ(stored.name, c.name);
            }
            if (c.answer == ui::Answer::No) {
                ASSERT_EQ(dialogs.namesShown.size(), 1u);
                if (c.areaColumn)
                    EXPECT_EQ(dialogs.namesShown[0],
                              strPrintf("%.3lf", ringArea({{10, 10}, {60, 10}, {60, 60}, {10, 10}})));
                else
                    EXPECT_EQ(dialogs.namesShown[0], "Row-1");
            } else {
                EXPECT_TRUE(dialogs.namesShown.empty());
            }
        }
        EXPECT_GE(view.fills, 1);
        TearDown();
    }
}

TEST_F(InputTest, CancelledAttributeDialogAfterAddingFromARowKeepsTheEnteredLine)
{
    addFigure(PK_POLYLINE, {{1, 1}, {9, 9}}, "Row-1");
    view.row = 1;
    inputSetDrawMode(23);
    clickAt(10, 10);
    clickAt(60, 10);
    ui::scriptAnswer(ui::Answer::No);
    dialogs.answers = {1};
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(store.PD_GetCount(), 1);
    EXPECT_EQ(inputPoints(), (P{{10, 10}, {60, 10}})) << "the centre line, not its band";
    EXPECT_EQ(wb.inputRec.kind, PK_POLYLINE);
}

TEST_F(InputTest, MoveTickedGoesOnFromTheLastRecordRowToNew)
{
    addFigure(PK_POLYLINE, {{1, 1}, {9, 9}}, "A");
    addFigure(PK_POLYLINE, {{2, 2}, {8, 8}}, "B");
    view.row = 2;
    view.move = true;
    inputSetDrawMode(2);
    clickAt(10, 10);
    clickAt(60, 10);
    ui::scriptAnswer(ui::Answer::Yes);
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(view.row, 3);
    EXPECT_EQ(view.rowClicks, 1);
    EXPECT_EQ(wb.selRec.nPts, 0);

    // A new figure takes the new record's row, and moving on leaves it for "新規".
    clickAt(20, 20);
    clickAt(70, 20);
    input().PM_PicRB_FIXClick();
    EXPECT_EQ(store.PD_GetCount(), 3);
    EXPECT_EQ(view.row, 4);
}

TEST_F(InputTest, CommittedBandAndCircleFromTheirDrawnPoints)
{
    inputSetDrawMode(23);
    view.oresen = "2.5";
    clickAt(100, 100);
    clickAt(300, 100);
    input().PM_PicRB_FIXClick();
    ASSERT_EQ(store.PD_GetCount(), 1);
    const TPRec& band = store.recs[0];
    EXPECT_EQ(band.kind, PK_POLYGON);
    EXPECT_EQ(band.nPts, 5);
    // 2.5 mm at 400 dpi: 39.37 pixels across, 19 on each side after truncation.
    EXPECT_EQ(band.pts[0], (TPoint{100, 119}));
    EXPECT_EQ(band.pts[2], (TPoint{300, 80}));
    EXPECT_EQ(band.startPt, band.pts[0]);
    EXPECT_EQ(band.endPt, band.pts[1]);
}

TEST_F(InputTest, EveryBandIsOfferedAsACentreLineNotOnlyTheFirst)
{
    // The area column names new polygons by their area; a band's centre line is no polygon,
    // the second band no more than the first.
    wb.areaColumn = 1;
    inputSetDrawMode(23);
    for (int band = 0; band < 2; ++band) {
        newRow();
        clickAt(100, 100 + 100 * band);
        clickAt(300, 100 + 100 * band);
        clickAt(300, 180 + 100 * band);
        input().PM_PicRB_FIXClick();
    }
    ASSERT_EQ(store.PD_GetCount(), 2);
    ASSERT_EQ(dialogs.namesShown.size(), 2u);
    EXPECT_EQ(dialogs.namesShown[1], dialogs.namesShown[0]);
    EXPECT_EQ(store.recs[1].nPts, 7);
    EXPECT_EQ(store.recs[1].kind, PK_POLYGON);
}

// ---- band polygons ----

namespace {

void setCentreLine(const P& pts)
{
    wb.inputRec.pts = pts;
    wb.inputRec.pts.resize(WB_INPUT_POINTS);
    wb.inputRec.nPts = static_cast<int>(pts.size());
    wb.inputRec.kind = PK_POLYLINE;
}

// Distance from p to the line through a and b.
double lineDistance(TPoint p, TPoint a, TPoint b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    return std::fabs(dy * (p.x - a.x) - dx * (p.y - a.y)) / std::hypot(dx, dy);
}

} // namespace

TEST_F(InputTest, BandOfTwoCentrePointsIsARectangleOfTheWidth)
{
    // 5.0 mm at 400 dpi: 78.74 pixels between the long sides, before truncation.
    setCentreLine({{100, 300}, {400, 0}});
    inputPolylineToBand("5.0", 400);
    const TPRec& r = wb.inputRec;
    ASSERT_EQ(r.nPts, 5);
    EXPECT_EQ(r.pts[4], r.pts[0]);
    EXPECT_EQ(r.kind, PK_POLYGON);
    EXPECT_EQ(r.startPt, r.pts[0]);
    EXPECT_EQ(r.endPt, r.pts[1]);
    const double mm = 25.4 / 400;
    EXPECT_NEAR(lineDistance(r.pts[2], r.pts[0], r.pts[1]) * mm, 5.0, 2 * mm);
    EXPECT_NEAR(lineDistance(r.pts[3], r.pts[0], r.pts[1]) * mm, 5.0, 2 * mm);
    // The centre line runs up and to the right: its angle seen from the second point, +90.
    EXPECT_EQ(r.startAngle, static_cast<int>(std::atan2(300.0, -300.0) * 180 / M_PI + 90));
    EXPECT_EQ(r.endAngle, r.startAngle);
}

TEST_F(InputTest, BandCornersAreMitredAndStraightRunsUsePlainOffsets)
{
    // 2.54 mm at 200 dpi: 10 pixels each side, up to rounding.
    setCentreLine({{0, 0}, {100, 0}, {100, 100}});
    inputPolylineToBand("2.54", 200);
    ASSERT_EQ(wb.inputRec.nPts, 7);
    const P corner = inputPoints();
    auto near = [](TPoint a, TPoint b) { return std::abs(a.x - b.x) <= 1 && std::abs(a.y - b.y) <= 1; };
    const P expect = {{0, 10}, {90, 10}, {90, 100}, {110, 100}, {110, -10}, {0, -10}, {0, 10}};
    for (size_t i = 0; i < expect.size(); ++i)
        EXPECT_TRUE(near(corner[i], expect[i])) << i << ": " << corner[i];
    EXPECT_EQ(wb.inputRec.startAngle, 270);
    EXPECT_EQ(wb.inputRec.endAngle, 0);

    setCentreLine({{0, 0}, {50, 0}, {100, 0}});
    inputPolylineToBand("2.54", 200);
    ASSERT_EQ(wb.inputRec.nPts, 7);
    const P straight = inputPoints();
    EXPECT_TRUE(near(straight[1], {50, 10})) << straight[1];
    EXPECT_TRUE(near(straight[4], {50, -10})) << straight[4];

    // A width that is not a number makes a band of no width.
    setCentreLine({{0, 0}, {100, 0}});
    inputPolylineToBand("abc", 200);
    EXPECT_EQ(inputPoints(), (P{{0, 0}, {100, 0}, {100, 0}, {0, 0}, {0, 0}}));
}

TEST_F(InputTest, TypedNumbersAreReadAsCNumbersInAnyLocale)
{
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    testutil::TempDir dir;
    const bool made = testutil::makeCommaLocale(dir);
    const bool switched = made && std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    char probe[16] = "";
    std::snprintf(probe, sizeof probe, "%.1f", 1.5);
    if (!switched || std::string(probe) != "1,5") {
        std::setlocale(LC_NUMERIC, saved.c_str());
        ::unsetenv("LOCPATH");
        GTEST_SKIP() << "no locale with a decimal comma here";
    }
    setCentreLine({{0, 0}, {100, 0}});
    inputPolylineToBand("2.54", 200);
    std::setlocale(LC_NUMERIC, saved.c_str());
    ::unsetenv("LOCPATH");
    EXPECT_NEAR(wb.inputRec.pts[0].y, 10, 1);
}

// Bands drawn and committed whose corners would lie beyond the int range (a near U-turn mitres
// far out, a typed width offsets far out): each corner stops at the saturation limit, on the
// side where it lies, and the others stay where they are.
TEST_F(InputTest, BandCornersBeyondTheIntRangeSaturate)
{
    struct Case {
        const char* what;
        const char* width;
        P centre;
        std::vector<std::pair<size_t, TPoint>> corners; // index, where it must be
    };
    const Case cases[] = {
        {"a near U-turn with a wide band", "10000", {{100, 100}, {20000, 100}, {100, 101}},
         {{1, {-kSatIntLimit, 78840}}, {4, {kSatIntLimit, -78640}}}},
        {"a width of 1e12 mm", "1e12", {{100, 100}, {300, 100}},
         // The far side lands a hair left of its centre point (the offset's cosine is not 0).
         {{0, {100, kSatIntLimit}}, {1, {300, kSatIntLimit}}, {2, {299, -kSatIntLimit}},
          {3, {99, -kSatIntLimit}}}},
        {"a width that is no number: no width", "inf", {{100, 100}, {300, 100}},
         {{0, {100, 100}}, {2, {300, 100}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        store.PD_Clear();
        newRow();
        inputSetDrawMode(23);
        view.oresen = c.width;
        for (TPoint p : c.centre)
            clickAt(p.x, p.y);
        input().PM_PicRB_FIXClick();
        ASSERT_EQ(store.PD_GetCount(), 1);
        const TPRec& band = store.recs[0];
        ASSERT_EQ(band.nPts, 2 * static_cast<int>(c.centre.size()) + 1);
        for (int i = 0; i < band.nPts; ++i) {
            EXPECT_LE(std::abs(band.pts[static_cast<size_t>(i)].x), kSatIntLimit) << i;
            EXPECT_LE(std::abs(band.pts[static_cast<size_t>(i)].y), kSatIntLimit) << i;
        }
        for (const auto& [i, at] : c.corners)
            EXPECT_EQ(band.pts[i], at) << i;
    }
}
