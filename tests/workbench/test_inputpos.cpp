// The control-point list: writing and reading points, the operator's edits and reset, and the
// points outliving the form's modal runs.
#include "workbench/inputpos.h"

#include "recdlg_helpers.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>

using recdlg::child;
using recdlg::click;
using recdlg::text;
using recdlg::whenModal;

namespace {

class InputPos : public ::testing::Test {
protected:
    void SetUp() override
    {
        inputPosDestroy();
        inputPosCreate();
    }
    void TearDown() override { inputPosDestroy(); }
};

std::string cell(int col, int row)
{
    return Frm_InputPos->cell(col, row);
}

void setEdit(QWidget* f, const char* name, const char* value)
{
    QLineEdit* e = child<QLineEdit>(f, name);
    e->setFocus();
    e->selectAll();
    e->insert(QString::fromUtf8(value));
}

// The header line as the operator sees it above the rows: the fixed row where it is shown.
QStringList shownHeader(QTableWidget* g)
{
    QStringList out;
    for (int c = 0; c < g->columnCount(); ++c) {
        if (g->horizontalHeader()->isVisible())
            out << g->model()->headerData(c, Qt::Horizontal).toString();
        else if (!g->isRowHidden(0) && g->rowViewportPosition(0) == 0)
            out << g->item(0, c)->text();
    }
    return out;
}

// A click on the fixed header row, wherever the grid shows it.
void clickHeader(QTableWidget* g, int col)
{
    if (g->horizontalHeader()->isVisible())
        QTest::mouseClick(g->horizontalHeader()->viewport(), Qt::LeftButton, {},
                          QPoint(g->columnViewportPosition(col) + 5, 5));
    else
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualItemRect(g->item(0, col)).center());
}

TEST_F(InputPos, HeaderStaysAboveTheRowsWhenScrolled)
{
    whenModal([](QWidget* f) {
        QTableWidget* g = child<QTableWidget>(f, "StringGrid1");
        const QStringList header{"No.", "Name", "    X", "    Y"};
        EXPECT_EQ(shownHeader(g), header);
        g->scrollToBottom();
        EXPECT_EQ(shownHeader(g), header);
        click(f, "Btn_InitData");
        EXPECT_EQ(shownHeader(g), header);
        click(f, "Btn_Exit");
    });
    EXPECT_EQ(showInputPos(), 1);
}

TEST_F(InputPos, StartsWithNamedEmptyRows)
{
    EXPECT_EQ(posGetRowCount(), 64);
    EXPECT_EQ(posGetCurrentRow(), 1);
    EXPECT_EQ(posIsCoordShown(), 1);
    EXPECT_EQ(cell(0, 0), "No.");
    EXPECT_EQ(cell(1, 0), "Name");
    EXPECT_EQ(cell(2, 0), "    X");
    EXPECT_EQ(cell(3, 0), "    Y");
    EXPECT_EQ(cell(0, 7), "  7");
    EXPECT_EQ(cell(1, 7), "P-07");
    EXPECT_EQ(cell(1, 63), "P-63");
    EXPECT_EQ(cell(2, 7), "");
    QTableWidget* g = Frm_InputPos->StringGrid1;
    const int widths[] = {32, 89, 100, 99};
    for (int c = 0; c < 4; ++c)
        EXPECT_EQ(g->columnWidth(c), widths[c]);
    EXPECT_EQ(g->rowHeight(10), 19); // 18 pixels and the grid line below them
    EXPECT_TRUE(g->showGrid());
}

// The name and both coordinates of the selected row show whole in their fields.
TEST_F(InputPos, FieldsShowTheLongestCoordinatesWhole)
{
    whenModal([](QWidget* f) {
        formtest::expectFieldsShowWhole(f, {{"Edit1", "P-63"}, {"Edit2", "-123456.789"}, {"Edit3", "-123456.789"}});
        child<QPushButton>(f, "Btn_Exit")->click();
    });
    showInputPos();
}

TEST_F(InputPos, SetRowWritesAndMovesOn)
{
    posSetRow(5, "P-05", 123.4, -876.54321);
    EXPECT_EQ(cell(1, 5), "P-05");
    EXPECT_EQ(cell(2, 5), "         123.400");
    EXPECT_EQ(cell(3, 5), "        -876.543");
    EXPECT_EQ(posGetCurrentRow(), 6);

    std::string name;
    double x = 1, y = 1;
    EXPECT_EQ(posGetRow(4, name, x, y), 1);
    EXPECT_EQ(name, "P-05");
    EXPECT_DOUBLE_EQ(x, 123.4);
    EXPECT_DOUBLE_EQ(y, -876.543);

    posSetRow(63, "A-63", 1, 2);
    EXPECT_EQ(posGetCurrentRow(), 63);
    EXPECT_EQ(posGetRow(62, name, x, y), 1);
    EXPECT_EQ(name, "A-63");

    // A zero coordinate is no point; rows outside the list neither write nor read.
    posSetRow(7, "P-07", 0, 5);
    EXPECT_EQ(posGetRow(6, name, x, y), 0);
    EXPECT_EQ(name, "P-07");
    for (int row : {0, 64, -1, 1000}) {
        posSetRow(row, "X", 9, 9);
        EXPECT_EQ(posGetCurrentRow(), 8) << row;
    }
    EXPECT_EQ(cell(1, 0), "Name");
    for (int index : {63, -1, 64}) {
        name = "old";
        x = y = 3;
        EXPECT_EQ(posGetRow(index, name, x, y), 0) << index;
        EXPECT_EQ(name, "");
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
    }
}

TEST_F(InputPos, OperatorEditsAResetAndTheTick)
{
    posSetRow(3, "P-03", 10.5, 20.25);
    EXPECT_EQ(posGetCurrentRow(), 4);
    whenModal([](QWidget* f) {
        EXPECT_EQ(text(f->windowTitle()), "国家座標入力");
        QTableWidget* g = child<QTableWidget>(f, "StringGrid1");
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualItemRect(g->item(3, 1)).center());
        EXPECT_EQ(text(child<QLineEdit>(f, "Edit1")->text()), "P-03");
        EXPECT_EQ(text(child<QLineEdit>(f, "Edit2")->text()), "10.5");
        EXPECT_EQ(text(child<QLineEdit>(f, "Edit3")->text()), "20.25");
        setEdit(f, "Edit1", "基準点");
        setEdit(f, "Edit2", "abc");
        setEdit(f, "Edit3", " 1e3x");
        click(f, "Button2");
        EXPECT_EQ(cell(1, 3), "基準点");
        EXPECT_EQ(cell(2, 3), "           0.000");
        EXPECT_EQ(cell(3, 3), "        1000.000");
        // A click on the fixed header leaves the selection where it was.
        clickHeader(g, 1);
        EXPECT_EQ(g->currentRow(), 3);
        click(f, "CheckBox1");
        click(f, "Btn_Exit");
    });
    EXPECT_EQ(showInputPos(), 0);
    std::string name;
    double x, y;
    EXPECT_EQ(posGetRow(2, name, x, y), 0); // X reads 0 now
    EXPECT_EQ(name, "基準点");

    posSetRow(9, "P-09", 1, 1);
    whenModal([](QWidget* f) {
        EXPECT_EQ(text(child<QLineEdit>(f, "Edit1")->text()), "P-10"); // the activation copies row 10
        EXPECT_EQ(text(child<QLineEdit>(f, "Edit2")->text()), "0");
        click(f, "Btn_InitData");
        f->close();
    });
    EXPECT_EQ(showInputPos(), 0);
    EXPECT_EQ(posGetCurrentRow(), 10);
    EXPECT_EQ(posIsCoordShown(), 0);
    EXPECT_EQ(cell(1, 3), "P-03");
    EXPECT_EQ(cell(2, 9), "");
}

TEST_F(InputPos, PointsOutliveTheModalRuns)
{
    posSetRow(1, "P-01", -100.125, 200.5);
    for (int run = 0; run < 2; ++run) {
        whenModal([](QWidget* f) { click(f, "Btn_Exit"); });
        EXPECT_EQ(showInputPos(), 1);
    }
    std::string name;
    double x, y;
    EXPECT_EQ(posGetRow(0, name, x, y), 1);
    EXPECT_DOUBLE_EQ(x, -100.125);
    EXPECT_EQ(posGetCurrentRow(), 2);
}

} // namespace
