// Area and distance measurements on the sheet view: their queries, and the point each puts in
// the control-point list.
#include "test_input_fixture.h"

#include "platform/satint.h"
#include "recdlg_helpers.h"
#include "render/canvas.h"
#include "workbench/inputpos.h"

#include <QLineEdit>
#include <QTableWidget>

#include <cmath>
#include <iterator>

using recdlg::child;
using recdlg::whenModal;

namespace {

// Whether the control-point list and the conversions are the real ones (the point checks need
// both).
bool realPosList()
{
    std::string name;
    double x = 0, y = 0;
    posGetRow(0, name, x, y);
    return !name.empty();
}

bool realConversion()
{
    int x = 0, y = 0;
    inputMetricToPixel(950.0, 2050.0, x, y);
    return x == 200 && y == 150;
}

} // namespace

class MeasureTest : public InputTest {
protected:
    void SetUp() override
    {
        InputTest::SetUp();
        inputPosCreate();
        TImgDef& d = *drawing.imgDef;
        d.imgX1 = 100, d.imgY1 = 100, d.worldX1 = 1000.0, d.worldY1 = 2000.0;
        d.imgX2 = 300, d.imgY2 = 200, d.worldX2 = 900.0, d.worldY2 = 2100.0;
    }

    const ui::Record* lastQuery() const
    {
        for (auto it = ui::recorded().rbegin(); it != ui::recorded().rend(); ++it)
            if (it->kind == "input")
                return &*it;
        return nullptr;
    }

    // Measures from a to b and answers the query with `typed` (empty: cancel).
    void measureDistance(TPoint a, TPoint b, const std::string& typed)
    {
        wb.measureState = 2;
        click(a.x, a.y);
        moveTo(b.x, b.y);
        if (typed.empty())
            ui::scriptAnswer(ui::Answer::Cancel);
        else
            ui::scriptInput(typed);
        click(b.x, b.y);
    }
};

TEST_F(MeasureTest, AreaPolygonGivesOneEntryAtItsFirstVertexAndNoFigure)
{
    const int row = posGetCurrentRow();
    const std::string name = strPrintf("A-%02d", row);
    const double area = ringArea({{100, 100}, {300, 100}, {300, 200}, {100, 100}});
    if (realConversion()) {
        EXPECT_NEAR(area, 0.5 * 100.0 * 100.0, 1e-6);
    }
    for (bool ok : {false, true}) {
        wb.measureState = 12;
        inputSetDrawMode(1);
        if (ok)
            ui::scriptInput("1.0");
        else
            ui::scriptAnswer(ui::Answer::Cancel);
        clickAt(100, 100);
        clickAt(300, 100);
        clickAt(300, 200);
        clickAt(100, 100);
        EXPECT_EQ(store.PD_GetCount(), 0);
        EXPECT_TRUE(dialogs.modes.empty());
        EXPECT_EQ(wb.measureState, 0);
        EXPECT_EQ(wb.inputRec.nPts, 0);
        const ui::Record* q = lastQuery();
        ASSERT_NE(q, nullptr);
        EXPECT_EQ(q->caption, "面積入力(" + name + ")");
        EXPECT_EQ(q->text, "面積 (M2):");
        if (!ok) {
            EXPECT_EQ(q->value, strPrintf("%.3lf", area)) << "the query offers the area";
            EXPECT_EQ(posGetCurrentRow(), row);
        }
    }
    if (!realPosList() || !realConversion())
        GTEST_SKIP() << "the control-point list or the conversions are not built here";
    std::string got;
    double x = 0, y = 0;
    ASSERT_EQ(posGetRow(row - 1, got, x, y), 1);
    EXPECT_EQ(got, name);
    EXPECT_DOUBLE_EQ(x, 1000.0);
    EXPECT_DOUBLE_EQ(y, 2000.0);
}

TEST_F(MeasureTest, DistanceQueryShowsTheMeasuredLineAndCancelStoresNothing)
{
    const int row = posGetCurrentRow();
    measureDistance({100, 100}, {300, 200}, "");
    EXPECT_EQ(wb.measureState, 0);
    const ui::Record* q = lastQuery();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->caption, strPrintf("距離入力(P-%02d)", row));
    EXPECT_EQ(q->text, "距離 (M):");
    double x1, y1, x2, y2;
    inputPixelToMetric(100, 100, x1, y1);
    inputPixelToMetric(300, 200, x2, y2);
    EXPECT_EQ(q->value, strPrintf("%.3lf", std::hypot(x2 - x1, y2 - y1)));
    // The line was asked to be painted while the query was open.
    bool lineShown = false;
    for (const QRect& r : view.repaints)
        lineShown |= r.contains(QPoint(100, 100)) && r.contains(QPoint(300, 200));
    EXPECT_TRUE(lineShown);
    EXPECT_EQ(posGetCurrentRow(), row);
}

TEST_F(MeasureTest, TypedDistancePlacesThePointOnTheRay)
{
    if (!realPosList() || !realConversion())
        GTEST_SKIP() << "the control-point list or the conversions are not built here";
    struct Case {
        TPoint a, b;
        double factor;
    } cases[] = {
        {{100, 100}, {300, 200}, 1.0},
        {{100, 100}, {300, 200}, 2.0},
        {{120, 150}, {260, 150}, 2.0}, // the same pixel row: the same plane X
        {{200, 120}, {200, 180}, 2.0}, // the same pixel column: the same plane Y
    };
    for (const Case& c : cases) {
        double x1, y1, x2, y2;
        inputPixelToMetric(c.a.x, c.a.y, x1, y1);
        inputPixelToMetric(c.b.x, c.b.y, x2, y2);
        const double d = std::hypot(x2 - x1, y2 - y1);
        const int row = posGetCurrentRow();
        measureDistance(c.a, c.b, strPrintf("%.6lf", d * c.factor));
        std::string name;
        double x = 0, y = 0;
        ASSERT_EQ(posGetRow(row - 1, name, x, y), 1);
        EXPECT_EQ(name, strPrintf("P-%02d", row));
        EXPECT_NEAR(x, x1 + (x2 - x1) * c.factor, 2e-3);
        EXPECT_NEAR(y, y1 + (y2 - y1) * c.factor, 2e-3);
    }
}

namespace {

QImage overlayOver(TKXInput& input, const QImage& picture)
{
    QImage img = picture;
    Canvas canvas(img);
    input.inputPaintOverlay(canvas);
    return img;
}

} // namespace

// Control points typed in "国家座標入力" far beyond the sheet land at the saturation limit, so
// the overlay can place its circles and name around them; "inf", "nan" and hexadecimal are no
// number, so such a row is no point at all.
TEST_F(MeasureTest, TypedControlPointsBeyondTheSheetOrNoNumber)
{
    if (!realPosList() || !realConversion())
        GTEST_SKIP() << "the control-point list or the conversions are not built here";
    struct Case {
        const char* x;
        const char* y;
        bool point;
        int px, py;
    };
    const Case cases[] = {
        {"950", "2050", true, 200, 150},
        {"3e9", "2050", true, 200, -kSatIntLimit},
        {"950", "-3e9", true, -kSatIntLimit, 150},
        {"-1e999", "2050", false, 0, 0}, // beyond the double range: no number
        {"inf", "2050", false, 0, 0},
        {"950", "-infinity", false, 0, 0},
        {"nan", "2050", false, 0, 0},
        {"0x10", "2050", false, 0, 0},
    };
    const int rows = static_cast<int>(std::size(cases));
    whenModal([&](QWidget* f) {
        recdlg::click(f, "Btn_InitData");
        QTableWidget* g = child<QTableWidget>(f, "StringGrid1");
        for (int i = 0; i < rows; ++i) {
            g->setCurrentCell(i + 1, 1);
            child<QLineEdit>(f, "Edit2")->setText(QString::fromLatin1(cases[i].x));
            child<QLineEdit>(f, "Edit3")->setText(QString::fromLatin1(cases[i].y));
            recdlg::click(f, "Button2");
        }
        recdlg::click(f, "Btn_Exit");
    });
    EXPECT_EQ(showInputPos(), 1);
    for (int i = 0; i < rows; ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(std::string(c.x) + " " + c.y);
        std::string name;
        double mx = 0, my = 0;
        ASSERT_EQ(posGetRow(i, name, mx, my), c.point ? 1 : 0);
        if (!c.point)
            continue;
        int px = 0, py = 0;
        inputMetricToPixel(mx, my, px, py);
        EXPECT_EQ(px, c.px);
        EXPECT_EQ(py, c.py);
    }
    // Only the point on the sheet shows; the far ones are painted off the picture.
    QImage pic(400, 300, QImage::Format_RGB32);
    pic.fill(Qt::white);
    const QImage shown = overlayOver(input(), pic);
    const QRect around(185, 135, 100, 35);
    bool drawn = false, elsewhere = false;
    for (int y = 0; y < pic.height(); ++y)
        for (int x = 0; x < pic.width(); ++x) {
            const bool changed = shown.pixel(x, y) != pic.pixel(x, y);
            (around.contains(x, y) ? drawn : elsewhere) |= changed;
        }
    EXPECT_TRUE(drawn);
    EXPECT_FALSE(elsewhere);
}
