// Picking figures on the sheet view, the action menu and moving a picked point; the overlay
// painted over the picture.
#include "test_input_fixture.h"

#include "render/canvas.h"

using P = std::vector<TPoint>;

class PickTest : public InputTest {
protected:
    // Picks at (x, y), chooses hit `item` when a menu of hits is shown, then the action.
    void pickAndAct(int x, int y, int action, int item = 0)
    {
        rightClick(x, y);
        if (view.candidatePopups > 0)
            input().ITEM11Click(item);
        input().MenuItem2Click(action);
    }
};

TEST_F(PickTest, OneHitOpensTheActionMenuAtTheHitPoint)
{
    wb.viewDivisor = 2;
    addFigure(PK_POLYLINE, {{100, 100}, {300, 100}}, "L1");
    rightClick(52, 51); // (104, 102) at full resolution
    EXPECT_EQ(view.candidatePopups, 0);
    EXPECT_EQ(view.editPopups, 1);
    EXPECT_EQ(view.editAt, QPoint(50, 50));
    EXPECT_TRUE(view.editVertex);
    EXPECT_TRUE(view.editText);
    EXPECT_EQ(wb.pickIndex, 0);

    rightClick(300, 300); // nothing there: nothing opens, the chosen hit is dropped
    EXPECT_EQ(view.editPopups, 1);
    EXPECT_EQ(wb.pickIndex, -1);
}

TEST_F(PickTest, SeveralHitsAreOfferedByNameOneItemEach)
{
    for (int i = 0; i < 12; ++i)
        addFigure(PK_POLYLINE, {{100 + i, 100}, {300, 300}}, "N" + std::to_string(i));
    rightClick(105, 100);
    ASSERT_EQ(view.candidatePopups, 1);
    ASSERT_EQ(view.candidates.size(), 12u) << "more than ten hits: one item per hit";
    EXPECT_EQ(view.candidates[0], "N0");
    EXPECT_EQ(view.candidates[11], "N11");
    EXPECT_EQ(view.candidatesAt, QPoint(105, 100));
    input().ITEM11Click(11);
    EXPECT_EQ(wb.pickIndex, 11);
    EXPECT_EQ(view.editPopups, 1);
    EXPECT_EQ(view.editAt, QPoint(111, 100));
    input().ITEM11Click(-1); // "取消"
    EXPECT_EQ(wb.pickIndex, -1);
}

TEST_F(PickTest, ActionMenuOffersWhatTheFigureAllows)
{
    struct Case {
        int kind;
        bool labelHit;
        bool vertex, text;
    } cases[] = {
        {PK_POLYLINE, false, true, true},
        {PK_TEXT, false, false, true},
        {PK_CALLOUT, false, true, false},
        {PK_POLYLINE, true, false, true},
    };
    for (const Case& c : cases) {
        SetUp();
        addFigure(c.kind, {{100, 100}, {200, 100}, {200, 150}}, "X");
        TPRec* f = store.PD_GetPolyPtr(0);
        f->labelX = 150;
        f->labelY = 180;
        if (c.labelHit)
            rightClick(150, 182);
        else
            rightClick(101, 101);
        ASSERT_EQ(view.editPopups, 1);
        EXPECT_EQ(view.editVertex, c.vertex) << c.kind;
        EXPECT_EQ(view.editText, c.text) << c.kind;
        TearDown();
    }
}

TEST_F(PickTest, VertexMovesFollowTheKindOfFigure)
{
    struct Case {
        int kind;
        P pts;
        TPoint grab, to;
        P expect;
    } cases[] = {
        // a callout's second vertex carries its third
        {PK_CALLOUT, {{10, 10}, {100, 10}, {150, 60}}, {100, 10}, {110, 15}, {{10, 10}, {110, 15}, {160, 65}}},
        // a circle's centre keeps the radius, its second point sets it
        {PK_CIRCLE, {{100, 100}, {130, 100}}, {100, 100}, {200, 50}, {{200, 50}, {230, 50}}},
        {PK_CIRCLE, {{100, 100}, {130, 100}}, {130, 100}, {100, 160}, {{100, 100}, {160, 100}}},
        // the first point of a closed ring carries the closing point
        {PK_POLYGON, {{10, 10}, {100, 10}, {100, 100}, {10, 10}}, {10, 10}, {20, 0}, {{20, 0}, {100, 10}, {100, 100}, {20, 0}}},
        {PK_POLYLINE, {{10, 10}, {100, 10}, {100, 100}}, {100, 10}, {90, 20}, {{10, 10}, {90, 20}, {100, 100}}},
    };
    for (const Case& c : cases) {
        SetUp();
        addFigure(c.kind, c.pts, "M");
        pickAndAct(c.grab.x, c.grab.y, 1);
        EXPECT_EQ(wb.editMode, 1);
        EXPECT_EQ(wb.prevPoint, c.grab);
        moveTo(c.to.x, c.to.y);
        EXPECT_EQ(wb.curPoint, c.to);
        click(c.to.x, c.to.y);
        EXPECT_EQ(points(store.recs[0]), c.expect) << c.kind;
        EXPECT_EQ(wb.editMode, -1);
        EXPECT_EQ(wb.pickIndex, -1);
        EXPECT_EQ(view.changes, 1);
        EXPECT_EQ(messages("頂点移動はできません。（同一点）"), 0);
        TearDown();
    }
}

TEST_F(PickTest, LabelMoveOfATextCarriesBothPoints)
{
    addFigure(PK_TEXT, {{100, 100}, {132, 100}}, "T");
    TPRec* f = store.PD_GetPolyPtr(0);
    f->labelX = 110;
    f->labelY = 90;
    pickAndAct(111, 91, 2);
    EXPECT_EQ(wb.prevPoint, (TPoint{110, 90}));
    moveTo(140, 120);
    click(140, 120);
    EXPECT_EQ(points(store.recs[0]), (P{{130, 130}, {162, 130}}));
    EXPECT_EQ(store.recs[0].labelX, 140);
    EXPECT_EQ(store.recs[0].labelY, 120);
}

TEST_F(PickTest, AMoveToTheSamePointIsRefused)
{
    addFigure(PK_POLYLINE, {{10, 10}, {100, 10}}, "S");
    pickAndAct(10, 10, 1);
    click(40, 40); // no mouse move: the point has not left its place
    EXPECT_EQ(messages("頂点移動はできません。（同一点）"), 1);
    EXPECT_EQ(points(store.recs[0]), (P{{10, 10}, {100, 10}}));
    EXPECT_EQ(wb.editMode, -1);
    EXPECT_EQ(wb.pickIndex, -1);
}

TEST_F(PickTest, MoveFollowsTheSnapWhenTicked)
{
    addFigure(PK_POLYLINE, {{10, 10}, {100, 10}}, "S");
    addFigure(PK_POLYLINE, {{200, 200}, {300, 300}}, "T");
    view.checkPoint = true;
    pickAndAct(10, 10, 1, 0);
    moveTo(197, 203);
    EXPECT_EQ(wb.curPoint, (TPoint{200, 200}));
    moveTo(150, 150); // no snap: the feedback stays where it was
    EXPECT_EQ(wb.curPoint, (TPoint{200, 200}));
    EXPECT_EQ(view.status.rfind("(150, 150)", 0), 0u) << "the status keeps the coordinates";
    click(150, 150);
    EXPECT_EQ(store.recs[0].pts[0], (TPoint{200, 200}));
}

TEST_F(PickTest, SelectMovesTheRowAndAPressAfterItOnlyEndsIt)
{
    addFigure(PK_POLYLINE, {{10, 10}, {100, 10}}, "A");
    addFigure(PK_POLYLINE, {{10, 50}, {100, 50}}, "B");
    view.row = 3;
    pickAndAct(100, 50, 0);
    EXPECT_EQ(view.row, 2);
    EXPECT_EQ(view.rowClicks, 1) << "a changed row has the effects of a row click";
    EXPECT_EQ(wb.selRec.name, "B");
    EXPECT_EQ(wb.pickIndex, -1);

    pickAndAct(100, 50, 0); // the row is already current: no second row click
    EXPECT_EQ(view.rowClicks, 1);
    EXPECT_EQ(wb.editMode, 0);
    click(60, 60);
    EXPECT_EQ(wb.editMode, -1);
    EXPECT_EQ(ui::recorded().size(), 0u) << "no same-point message after a selection";
    EXPECT_EQ(wb.inputRec.nPts, 0);
}

TEST_F(PickTest, EndKeepsTheHitChosenUntilTheNextRightClick)
{
    addFigure(PK_POLYLINE, {{10, 10}, {100, 10}}, "A");
    pickAndAct(10, 10, -1);
    EXPECT_EQ(wb.pickIndex, 0);
    EXPECT_EQ(wb.editMode, -1);
    click(50, 50); // a left press draws again
    EXPECT_EQ(wb.inputRec.nPts, 1);
}

// ---- the overlay ----

namespace {

QImage paintOverlay(TKXInput& input, const QImage& picture)
{
    QImage img = picture;
    Canvas canvas(img);
    input.inputPaintOverlay(canvas);
    return img;
}

QImage picture()
{
    QImage img(200, 200, QImage::Format_RGB32);
    img.fill(QColor(200, 180, 40));
    return img;
}

} // namespace

TEST_F(PickTest, RubberBandInvertsThePictureAndCancelLeavesItUnchanged)
{
    const QImage pic = picture();
    inputSetDrawMode(2);
    clickAt(20, 100);
    moveTo(150, 100);
    const QImage shown = paintOverlay(input(), pic);
    const QRgb inverted = qRgb(255 - 200, 255 - 180, 255 - 40);
    EXPECT_EQ(shown.pixel(80, 100), inverted) << "the rubber band";
    EXPECT_EQ(shown.pixel(146, 96), inverted) << "the large mark at the current point";
    EXPECT_EQ(shown.pixel(80, 60), pic.pixel(80, 60));
    // A repaint asked for covers the old and the new feedback.
    ASSERT_FALSE(view.repaints.empty());
    EXPECT_TRUE(view.repaints.back().contains(QPoint(146, 100)));
    EXPECT_TRUE(view.repaints.back().contains(QPoint(20, 100)));

    clickAt(150, 100);
    const QImage line = paintOverlay(input(), pic);
    EXPECT_EQ(line.pixel(80, 100), qRgb(0, 0x80, 0)) << "the green line through the points";

    input().PM_PicRB_CancelClick();
    EXPECT_EQ(paintOverlay(input(), pic), pic);
}

TEST_F(PickTest, CursorMarkAndSelectedVerticesAreInverted)
{
    const QImage pic = picture();
    wb.selRec.kind = PK_POLYLINE;
    wb.selRec.pts = {{30, 30}, {60, 30}, {90, 30}};
    wb.selRec.nPts = 3;
    moveTo(120, 120);
    QImage shown = paintOverlay(input(), pic);
    const QRgb inverted = qRgb(255 - 200, 255 - 180, 255 - 40);
    EXPECT_EQ(shown.pixel(116, 120), inverted) << "the cursor mark";
    EXPECT_EQ(shown.pixel(57, 30), inverted) << "a small mark from the second vertex on";
    EXPECT_EQ(shown.pixel(27, 30), pic.pixel(27, 30)) << "no mark on the first vertex";
    // A full repaint drops the cursor mark; the next move asks for its area again.
    wb.xorMarkShown = 0;
    shown = paintOverlay(input(), pic);
    EXPECT_EQ(shown.pixel(116, 120), pic.pixel(116, 120));
    view.repaints.clear();
    moveTo(20, 150);
    ASSERT_FALSE(view.repaints.empty());
    EXPECT_TRUE(view.repaints.back().contains(QPoint(116, 120)));
}

TEST_F(PickTest, InvertedOneDotLinesSetOnTheImageMatchThePainters)
{
    const QImage pic = picture();
    auto draw = [&](bool shortcuts, const QImage& on) {
        canvasUseShortcuts(shortcuts);
        QImage img = on;
        {
            Canvas c(img);
            c.setClipRect(QRect(0, 0, 150, 150));
            c.setPenMode(PenMode::Not);
            c.setPenWidth(1);
            const QPoint ring[] = {{10, 10}, {180, 40}, {60, 120}, {10, 10}};
            c.polyline(ring, 4);
        }
        canvasUseShortcuts(true);
        return img;
    };
    const QImage fast = draw(true, pic);
    EXPECT_EQ(fast, draw(false, pic)) << "the same dots as the painter's inverting points";
    EXPECT_NE(fast, pic);
    EXPECT_EQ(fast.pixel(170, 38), pic.pixel(170, 38)) << "nothing outside the clip";
    EXPECT_EQ(draw(true, fast), pic) << "drawn twice, the picture is back";
}
