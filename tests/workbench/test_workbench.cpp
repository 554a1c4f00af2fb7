// The workbench form: opening, the figure list and its commands, drawing modes, buttons and
// the exit with its save question.
#include "wbfixture.h"

#include "formtest.h"
#include "model/kxtbl.h"
#include "model/qrv.h"
#include "platform/codec.h"
#include "platform/ui.h"
#include "render/paintboxex.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace {

using wbtest::polygon;
using wbtest::Sheet;

struct Workbench : testing::Test {
    void SetUp() override
    {
        wbtest::resetWorkbench();
        ui::clearRecorded();
        cfgSetInt(kxPaperSize, 3);
    }
    void TearDown() override
    {
        wbDialogsReset();
        wb.drawing = nullptr;
    }
};

template <typename T>
T* child(QWidget& form, const char* name)
{
    T* w = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

std::string text(const QString& s) { return s.toStdString(); }

TEST_F(Workbench, OpensWithItsControlsAndStartValues)
{
    Sheet sheet(1, 800, 400);
    sheet.load(0);
    wb.curLayer = 3; // left from a drawing with more layers
    wb.measureState = 2;
    wb.pickIndex = 4;
    wb.inputRec.nPts = 7;
    wb.selRec = polygon("old", 1, 1, 5);
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);

    EXPECT_EQ(text(form.windowTitle()), cfgGetAppKindName() + "着色登録");
    EXPECT_EQ(wb.curLayer, 0);
    EXPECT_EQ(wb.drawTag, 1);
    EXPECT_EQ(wb.measureState, 0);
    EXPECT_EQ(wb.pickIndex, -1);
    EXPECT_EQ(wb.inputRec.nPts, 0);
    EXPECT_EQ(wb.selRec.nPts, 0);
    EXPECT_EQ(static_cast<int>(wb.inputRec.pts.size()), WB_INPUT_POINTS);
    EXPECT_EQ(wb.viewDivisor, 8);
    EXPECT_EQ(form.PaintBoxEx1->size(), QSize(100, 50));

    struct Caption {
        const char* name;
        const char* caption;
    } captions[] = {
        {"RB_PolyGon2", "多角形"}, {"RB_PolyLine2", "折線"}, {"RB_Arrow2", "指示線"},
        {"RB_Text1", "文字列(1点指示)"}, {"RB_Text2", "文字列(2点指示)"},
        {"RB_HVLine", "水平垂直線"}, {"RB_Rect", "２点指示矩形"},
        {"RB_PolyGon3", "多角形(リンク付)"}, {"RadioButton1", "円(2点指示)"},
        {"RB_Rect3", "３点指示矩形"}, {"RadioButton3", "旗揚げ"}, {"CB_Oresen", "折れ線"},
        {"Btn_KX2Del", "削除"}, {"Btn_Sort", "ソート"}, {"Btn_DspDetail", "詳細表示"},
        {"CB_CheckPoint", "端点認識"}, {"CB_Move", "画面中央へ移動"}, {"CB_DrawName", "名称表示"},
        {"CB_Touka", "透過"}, {"CB_ATSize", "矢印/文字サイズ調整"}, {"CB_DrawBack", "背景表示"},
        {"CB_EdgeBlack", "多角形縁線色（黒）"}, {"Btn_DefZumen", "座標設定"},
        {"Btn_ShowArea", "面積計測"}, {"Btn_InputSrv", "国家座標"}, {"Btn_ShowLen", "距離計測"},
        {"Btn_DefSakuzu", "作図設定"}, {"Btn_Print", "印刷"}, {"Btn_ShowBW", "白黒表示"},
        {"Btn_Exit", "終了"},
    };
    for (const Caption& c : captions) {
        auto* b = child<QAbstractButton>(form, c.name);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(text(b->text()), c.caption) << c.name;
        if (auto* pb = qobject_cast<QPushButton*>(b)) {
            EXPECT_FALSE(pb->autoDefault()) << c.name; // Enter presses no button
        }
    }
    int tag = 1;
    for (const char* name : {"RB_PolyGon2", "RB_PolyLine2", "RB_Arrow2", "RB_Text1", "RB_Text2",
                             "RB_HVLine", "RB_Rect", "RB_PolyGon3", "RadioButton1", "RB_Rect3",
                             "RadioButton3"})
        EXPECT_EQ(child<QWidget>(form, name)->property("Tag").toInt(), tag++) << name;
    EXPECT_EQ(text(form.ED_Oresen->text()), "5.0");
    EXPECT_EQ(text(form.GB_Sakuzu->title()), "作図指示");
    EXPECT_EQ(text(form.RG_Scale->title()), "スケール");
    EXPECT_EQ(text(form.RG_Paint->title()), "塗り潰し");
    EXPECT_EQ(text(form.Btn_DefSakuzu->toolTip()), "表示色と線の太さを設定します。");
    EXPECT_TRUE(child<QRadioButton>(form, "RG_Scale3")->isChecked());
    EXPECT_EQ(text(child<QRadioButton>(form, "RG_Scale3")->text()), "1/8");
    EXPECT_TRUE(child<QRadioButton>(form, "RG_Paint1")->isChecked());
    EXPECT_EQ(text(child<QRadioButton>(form, "RG_Paint1")->text()), "普通");
    EXPECT_TRUE(form.RB_PolyGon2->isChecked());
    EXPECT_TRUE(form.CB_DrawName->isChecked() && form.CB_Touka->isChecked() &&
                form.CB_ATSize->isChecked() && form.CB_DrawBack->isChecked());
    EXPECT_FALSE(form.CB_Move->isChecked());
    EXPECT_FALSE(form.CB_EdgeBlack->isChecked());
    EXPECT_TRUE(form.CB_EdgeBlack->isHidden());
    EXPECT_TRUE(form.Btn_DspDetail->isHidden());
    EXPECT_TRUE(form.Btn_ShowBW->isHidden()); // a one-bit raster
    EXPECT_EQ(form.PaintBoxEx2->size(), QSize(145, 146));
    EXPECT_EQ(form.CB_LayName->count(), 1);
    EXPECT_EQ(text(form.CB_LayName->itemText(0)), "図形等");
    for (const char* name : {"SG_Kx", "Panel5", "ScrollBox1", "PaintBoxEx1", "StatusBar1",
                             "PM_PicRB", "PM_PEditRB", "PM_PEditRB2"})
        EXPECT_NE(form.findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;

    // An empty store: the title row and "新規", which is the current row; nothing to delete.
    EXPECT_EQ(form.gridRowCount(), 2);
    EXPECT_EQ(text(form.cellText(0, 0)), "No");
    EXPECT_EQ(text(form.cellText(1, 0)), "名前");
    EXPECT_EQ(text(form.cellText(2, 0)), "種別");
    EXPECT_EQ(text(form.cellText(3, 0)), "レイヤ");
    EXPECT_EQ(form.SG_Kx->columnWidth(1), 160);
    EXPECT_EQ(text(form.cellText(1, 1)), "新規");
    EXPECT_EQ(form.gridRow(), 1);
    EXPECT_FALSE(form.Btn_KX2Del->isEnabled());
    EXPECT_EQ(form.SG_Kx->font().family(), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_EQ(form.SG_Kx->font().pixelSize(), 12);
    EXPECT_EQ(form.SG_Kx->verticalHeader()->defaultSectionSize(), 16);

    Sheet colour(1, 80, 40, true);
    colour.load(0);
    TFrm_KXInput colourForm;
    colourForm.openOn(&colour.drawing);
    EXPECT_FALSE(colourForm.Btn_ShowBW->isHidden());
}

TEST_F(Workbench, FigureListShowsKindsLayersAndAreas)
{
    Sheet sheet;
    sheet.load(0);
    TLayer& layers = *layTblGet(0)->layer;
    TLayerRec r;
    r.code = 1;
    r.name = "宅地";
    layers.layerAdd(r);
    r.code = 2;
    r.name = "道路";
    layers.layerAdd(r);
    // A stale slot beyond the rows in use must not be shown.
    layers.rows[5].name = "古い";

    struct Fig {
        int kind;
        int layerIndex;
        int linkNo;
        const char* kindText;
        const char* layerText;
    } figs[] = {
        {0, 1, 12345, "多角形", "道路"}, {1, 0, 0, "折れ線", "宅地"},   {2, 1, 0, "指示線", "道路"},
        {3, 1, 0, "指示線", "道路"},     {4, 1, 0, "文字列", "道路"},   {5, 1, 0, "円(2点指示)", "道路"},
        {6, 1, 0, "旗揚げ", "道路"},     {10, 1, 0, "地番付多角形", "道路"},
        {11, 1, 0, "多角形(リンク付)", "道路"}, {7, -3, 0, "7", "宅地"}, {0, 5, 0, "多角形", "宅地"},
    };
    for (const Fig& f : figs) {
        TPRec rec = polygon("n" + std::to_string(f.kind), 10, 10, 20, f.kind);
        rec.layerIndex = f.layerIndex;
        rec.linkNo = f.linkNo;
        sheet.store().PD_AddPoly(0, rec);
    }
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    const int n = static_cast<int>(std::size(figs));
    ASSERT_EQ(form.gridRowCount(), n + 2);
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(text(form.cellText(0, i + 1)), std::to_string(i + 1));
        EXPECT_EQ(text(form.cellText(2, i + 1)), figs[i].kindText) << i;
        EXPECT_EQ(text(form.cellText(3, i + 1)), figs[i].layerText) << i;
    }
    EXPECT_EQ(text(form.cellText(1, n + 1)), "新規");
    EXPECT_TRUE(form.Btn_KX2Del->isEnabled()); // row 1 is a figure

    // A double click on the panel of the list commands adds the area column, and again
    // takes it away.
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const QPoint free(form.Panel5->width() / 2, form.Panel5->height() - 4);
    QTest::mouseDClick(form.Panel5, Qt::LeftButton, {}, free);
    EXPECT_EQ(wb.areaColumn, 1);
    ASSERT_EQ(form.SG_Kx->columnCount(), 5);
    EXPECT_EQ(text(form.cellText(4, 0)), "面積");
    EXPECT_EQ(text(form.cellText(4, 1)), "12.345");
    EXPECT_EQ(text(form.cellText(4, 2)), "0.000");
    QTest::mouseDClick(form.Panel5, Qt::LeftButton, {}, free);
    EXPECT_EQ(wb.areaColumn, 0);
    EXPECT_EQ(form.SG_Kx->columnCount(), 4);
}

// The number column is fixed: when the list scrolls sideways the row numbers stay at its left
// edge, and a press on a number makes that row the current one.
TEST_F(Workbench, RowNumbersStayInSightWhenTheListScrollsSideways)
{
    Sheet sheet;
    sheet.load(0);
    for (const char* name : {"1", "2", "3"})
        sheet.store().PD_AddPoly(0, polygon(name, 10, 10, 20));
    wb.areaColumn = 1;
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.resize(640, 480);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QScrollBar* sideways = form.SG_Kx->horizontalScrollBar();
    ASSERT_GT(sideways->maximum(), 0);
    sideways->setValue(sideways->maximum());
    QApplication::processEvents();

    const int rowY = form.SG_Kx->horizontalHeader()->geometry().bottom() + 8;
    QWidget* at = form.SG_Kx->childAt(QPoint(form.SG_Kx->frameWidth() + 3, rowY));
    QHeaderView* numbers = nullptr;
    for (QWidget* w = at; w != nullptr && w != form.SG_Kx && numbers == nullptr; w = w->parentWidget())
        numbers = qobject_cast<QHeaderView*>(w);
    ASSERT_NE(numbers, nullptr);
    EXPECT_EQ(numbers->orientation(), Qt::Vertical);
    EXPECT_EQ(text(numbers->model()->headerData(0, Qt::Vertical).toString()), "1");
    EXPECT_EQ(text(form.cellText(0, 0)), "No");

    QTest::mouseClick(numbers->viewport(), Qt::LeftButton, {},
                      QPoint(4, numbers->sectionViewportPosition(1) + 8));
    EXPECT_EQ(form.gridRow(), 2);
    EXPECT_EQ(wb.selRec.name, "2");
}

TEST_F(Workbench, ReferenceLayerShowsRecordsOfItsTable)
{
    Sheet sheet(2);
    testutil::TempDir dir;
    ASSERT_EQ(wbtest::loadReferenceTable(dir, "11\t12\t5\t13\r\n番号\t所有者\t内部\t地目\r\n"
                                             "7\t山田\tx\t宅地\r\n9\t佐藤\ty\t畑\r\n"), 2);
    sheet.store(1).PD_AddPoly(0, polygon("9", 10, 10, 10));
    sheet.store(1).PD_AddPoly(0, polygon("8", 30, 10, 10));
    sheet.load(0);
    sheet.store(1).PD_AddPoly(0, polygon("9", 10, 10, 10));
    sheet.store(1).PD_AddPoly(0, polygon("8", 30, 10, 10));
    wb.curLayer = 1;
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    EXPECT_FALSE(form.Btn_DspDetail->isHidden());
    ASSERT_EQ(form.SG_Kx->columnCount(), 4); // three columns of type > 10, and column 0
    EXPECT_EQ(text(form.cellText(1, 0)), "番号");
    EXPECT_EQ(text(form.cellText(2, 0)), "所有者");
    EXPECT_EQ(text(form.cellText(3, 0)), "地目");
    EXPECT_EQ(form.SG_Kx->columnWidth(2), 6 * 6);
    EXPECT_EQ(text(form.cellText(1, 1)), "9");
    EXPECT_EQ(text(form.cellText(2, 1)), "佐藤");
    EXPECT_EQ(text(form.cellText(3, 1)), "畑");
    // No record 8: the number and nothing else.
    EXPECT_EQ(text(form.cellText(0, 2)), "2");
    EXPECT_EQ(text(form.cellText(1, 2)), "8");
    EXPECT_EQ(text(form.cellText(2, 2)), "");
    EXPECT_EQ(text(form.cellText(3, 2)), "");

    std::vector<std::string> detail;
    wbDialogs().showQRVDetail = [&](const std::string& title, int t, const std::string& number) {
        detail = {title, std::to_string(t), number};
    };
    form.Btn_DspDetail->click();
    EXPECT_EQ(detail, (std::vector<std::string>{"詳細表示", "0", "9"}));
    detail.clear();
    form.setGridRow(3); // 新規: nothing
    form.Btn_DspDetail->click();
    EXPECT_TRUE(detail.empty());

    // Back to the figure layer through the combo, as the operator picks it.
    form.show();
    form.CB_LayName->setCurrentIndex(0);
    emit form.CB_LayName->activated(0);
    EXPECT_EQ(wb.curLayer, 0);
    EXPECT_TRUE(form.Btn_DspDetail->isHidden());
    EXPECT_EQ(text(form.cellText(3, 0)), "レイヤ");
    EXPECT_EQ(form.gridRowCount(), 2);
    wb.curLayer = 0;
}

// A figure named beyond 32 bits names no record, so it shows none of the record its number
// would wrap to, and it sorts after the numbered figures.
TEST_F(Workbench, NameBeyondThirtyTwoBitsNamesNoRecord)
{
    Sheet sheet(2);
    testutil::TempDir dir;
    ASSERT_EQ(wbtest::loadReferenceTable(dir, "11\t12\r\n番号\t所有者\r\n7\t山田\r\n"), 1);
    sheet.load(0);
    sheet.store(1).PD_AddPoly(0, polygon("4294967303", 10, 10, 10));
    sheet.store(1).PD_AddPoly(0, polygon("7", 30, 10, 10));
    wb.curLayer = 1;
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    EXPECT_EQ(text(form.cellText(1, 1)), "4294967303");
    EXPECT_EQ(text(form.cellText(2, 1)), "");
    EXPECT_EQ(text(form.cellText(2, 2)), "山田");
    form.Btn_Sort->click();
    EXPECT_EQ(text(form.cellText(1, 1)), "7");
    EXPECT_EQ(text(form.cellText(1, 2)), "4294967303");
    wb.curLayer = 0;
}

TEST_F(Workbench, SortPutsKeyZeroFirstAndKeepsTheSelectionCurrent)
{
    Sheet sheet;
    sheet.load(0);
    for (const char* name : {"12", "3", "abc", "3"})
        sheet.store().PD_AddPoly(0, polygon(name, 10, 10, 10));
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.setGridRow(1);
    form.SG_KxClick();
    EXPECT_EQ(wb.selRec.name, "12");
    form.Btn_Sort->click();
    std::vector<std::string> names;
    for (int r = 1; r <= 4; ++r)
        names.push_back(text(form.cellText(1, r)));
    EXPECT_EQ(names, (std::vector<std::string>{"abc", "3", "3", "12"}));
    // The marks follow the current row, never the released figure.
    EXPECT_EQ(wb.selRec.name, "abc");

    form.setGridRow(4);
    form.Btn_KX2Del->click();
    EXPECT_EQ(sheet.store().PD_GetCount(), 3);
    EXPECT_EQ(form.gridRowCount(), 5);
    EXPECT_EQ(form.gridRow(), 4); // now the 新規 row
    EXPECT_FALSE(form.Btn_KX2Del->isEnabled());
    EXPECT_EQ(wb.selRec.nPts, 0);
    form.Btn_KX2Del->click(); // on 新規: nothing
    EXPECT_EQ(sheet.store().PD_GetCount(), 3);
}

TEST_F(Workbench, RowClickCopiesTheFigureAndItsAttributes)
{
    Sheet sheet;
    sheet.load(0);
    TPRec rec = polygon("a", 100, 100, 40);
    rec.linkType = 2;
    rec.linkNo = 55;
    rec.layerIndex = 3;
    rec.flags = 1;
    rec.sizeMode = 9;
    sheet.store().PD_AddPoly(0, rec);
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    wb.inputRec.nPts = 2;
    wb.pickIndex = 3;
    form.setGridRow(1);
    form.SG_KxClick();
    EXPECT_EQ(wb.selRec.name, "a");
    EXPECT_EQ(wb.selRec.nPts, 5);
    EXPECT_EQ(wb.inputRec.nPts, 0);
    EXPECT_EQ(wb.pickIndex, -1);
    EXPECT_EQ(wb.inputRec.linkType, 2);
    EXPECT_EQ(wb.inputRec.linkNo, 55);
    EXPECT_EQ(wb.inputRec.layerIndex, 3);
    EXPECT_EQ(wb.inputRec.flags, 1);
    EXPECT_EQ(wb.inputRec.sizeMode, 0); // not taken by a click
    form.setGridRow(2);
    form.SG_KxClick();
    EXPECT_EQ(wb.selRec.nPts, 0);

    // Letters typed on the list are commands, not a search that moves the current row.
    sheet.store().PD_AddPoly(0, polygon("b", 10, 10, 10));
    form.fillGrid();
    form.show();
    form.setGridRow(1);
    form.SG_Kx->setFocus();
    QTest::keyClick(form.SG_Kx, Qt::Key_2); // row 2 is numbered "2"
    QTest::keyClick(form.SG_Kx, Qt::Key_B);
    EXPECT_EQ(form.gridRow(), 1);
    EXPECT_FALSE(form.CB_DrawBack->isChecked());
    EXPECT_EQ(wb.viewDivisor, 2);
    // Arrow keys move the row with the effects of a click.
    QTest::keyClick(form.SG_Kx, Qt::Key_Down);
    EXPECT_EQ(form.gridRow(), 2);
    EXPECT_EQ(wb.selRec.name, "b");

    // Only the left button clicks a row: a right or middle click, single or double, leaves
    // the current row, the selection and a figure in progress alone, and opens no dialog.
    int dialogs = 0;
    wbDialogs().showKXInputRec2 = [&dialogs](int, TPRec*) { ++dialogs; return 1; };
    wb.inputRec.nPts = 2;
    const QPoint rowOne = form.SG_Kx->visualItemRect(form.SG_Kx->item(0, 1)).center();
    for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::mouseClick(form.SG_Kx->viewport(), button, {}, rowOne);
        QTest::mouseDClick(form.SG_Kx->viewport(), button, {}, rowOne);
    }
    EXPECT_EQ(form.gridRow(), 2);
    EXPECT_EQ(wb.selRec.name, "b");
    EXPECT_EQ(wb.inputRec.nPts, 2);
    EXPECT_EQ(dialogs, 0);
}

TEST_F(Workbench, DoubleClickEditsOrGivesTheNextFigureItsAttributes)
{
    Sheet sheet;
    sheet.load(0);
    sheet.store().PD_AddPoly(0, polygon("old", 10, 10, 10));
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);

    std::vector<int> modes;
    std::vector<std::string> seen;
    wbDialogs().showKXInputRec2 = [&](int mode, TPRec* r) {
        modes.push_back(mode);
        seen.push_back(r->name);
        r->name = mode == 1 ? "edited" : "next";
        r->linkType = 4;
        r->linkNo = 44;
        r->sizeMode = 2;
        r->layerIndex = 1;
        r->flags = 3;
        return mode == 1 ? 2 : 3;
    };
    form.setGridRow(1);
    form.SG_Kx2DblClick();
    EXPECT_EQ(sheet.store().PD_GetPolyPtr(0)->name, "edited");
    EXPECT_EQ(sheet.store().PD_GetPolyPtr(0)->nPts, 5); // points kept
    EXPECT_EQ(text(form.cellText(1, 1)), "edited");

    wb.inputRec = TPRec();
    form.setGridRow(2); // 新規
    form.SG_Kx2DblClick();
    EXPECT_EQ(modes, (std::vector<int>{1, 2}));
    EXPECT_EQ(seen[1], "edited"); // the edit copy of the last double click
    ASSERT_EQ(sheet.store().PD_GetCount(), 1);
    EXPECT_EQ(sheet.store().PD_GetPolyPtr(0)->name, "edited"); // no figure changes
    EXPECT_EQ(wb.inputRec.linkType, 4);
    EXPECT_EQ(wb.inputRec.linkNo, 44);
    EXPECT_EQ(wb.inputRec.sizeMode, 2);
    EXPECT_EQ(wb.inputRec.layerIndex, 1);
    EXPECT_EQ(wb.inputRec.flags, 3);

    // Cancel changes nothing.
    wbDialogs().showKXInputRec2 = [](int, TPRec* r) {
        r->name = "x";
        r->linkNo = 1;
        return 1;
    };
    form.setGridRow(1);
    form.SG_Kx2DblClick();
    EXPECT_EQ(sheet.store().PD_GetPolyPtr(0)->name, "edited");
    EXPECT_EQ(wb.inputRec.linkNo, 44);
}

// The highlighted row is always the current row, the one "削除" acts on, whatever the operator
// does on the list.
TEST_F(Workbench, TheCurrentRowIsAlwaysTheHighlightedOne)
{
    Sheet sheet;
    sheet.load(0);
    for (const char* name : {"a", "b", "c"})
        sheet.store().PD_AddPoly(0, polygon(name, 10, 10, 10));
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QWidget* rows = form.SG_Kx->viewport();
    auto at = [&form](int row) { return form.SG_Kx->visualItemRect(form.SG_Kx->item(row - 1, 1)).center(); };
    auto highlighted = [&form] {
        std::vector<int> out;
        for (const QModelIndex& i : form.SG_Kx->selectionModel()->selectedRows())
            out.push_back(i.row() + 1);
        return out;
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int row;
    } steps[] = {
        {"click", [&] { QTest::mouseClick(rows, Qt::LeftButton, {}, at(2)); }, 2},
        {"ctrl+click on the current row", [&] { QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, at(2)); }, 2},
        {"ctrl+space", [&] { QTest::keyClick(form.SG_Kx, Qt::Key_Space, Qt::ControlModifier); }, 2},
        {"ctrl+click on another row", [&] { QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, at(3)); }, 3},
        {"ctrl+click on it again", [&] { QTest::mouseClick(rows, Qt::LeftButton, Qt::ControlModifier, at(3)); }, 3},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(form.gridRow(), step.row) << step.what;
        EXPECT_EQ(highlighted(), std::vector<int>{form.gridRow()}) << step.what;
    }
    // "削除" takes the figure that the list shows as chosen.
    form.Btn_KX2Del->click();
    ASSERT_EQ(sheet.store().PD_GetCount(), 2);
    EXPECT_EQ(sheet.store().PD_GetPolyPtr(0)->name, "a");
    EXPECT_EQ(sheet.store().PD_GetPolyPtr(1)->name, "b");
    EXPECT_EQ(highlighted(), std::vector<int>{form.gridRow()});
}

// Keys typed into the band width go to the edit only; the same keys on the sheet, the list or
// a button are the view's commands.
TEST_F(Workbench, KeysTypedIntoTheBandWidthStayThere)
{
    Sheet sheet(1, 1600, 1200);
    sheet.load(0);
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.resize(900, 700);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(form.SG_Kx, Qt::Key_1);
    ASSERT_EQ(wb.viewDivisor, 1);
    form.scrollTo(0, 0);

    form.ED_Oresen->setFocus();
    form.ED_Oresen->selectAll();
    QTest::keyClicks(form.ED_Oresen, "3.5");
    QTest::keyClick(form.ED_Oresen, Qt::Key_B);
    QTest::keyClick(form.ED_Oresen, Qt::Key_F9);
    QTest::keyClick(form.ED_Oresen, Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(text(form.ED_Oresen->text()), "3.5b2");
    EXPECT_EQ(wb.viewDivisor, 1);
    EXPECT_EQ(form.scaleIndex(), 0);
    EXPECT_TRUE(form.CB_DrawBack->isChecked());
    EXPECT_EQ(form.scrollPosition(), QPoint(0, 0));
    // The layer combo's keys choose a layer only.
    form.CB_LayName->setFocus();
    QTest::keyClick(form.CB_LayName, Qt::Key_2);
    QTest::keyClick(form.CB_LayName, Qt::Key_F9);
    EXPECT_EQ(wb.viewDivisor, 1);
    EXPECT_TRUE(form.CB_DrawBack->isChecked());

    struct Case {
        const char* name;
        QWidget* target;
    } cases[] = {{"sheet", form.PaintBoxEx1}, {"list", form.SG_Kx}, {"button", form.Btn_Sort},
                 {"check box", form.CB_Move}};
    for (const Case& c : cases) {
        c.target->setFocus();
        QTest::keyClick(c.target, Qt::Key_2);
        EXPECT_EQ(wb.viewDivisor, 2) << c.name;
        QTest::keyClick(c.target, Qt::Key_1);
        EXPECT_EQ(wb.viewDivisor, 1) << c.name;
    }
}

TEST_F(Workbench, ModeSelection)
{
    Sheet sheet;
    sheet.load(0);
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.show();
    form.RB_PolyLine2->click();
    EXPECT_EQ(wb.drawTag, 2);
    form.RadioButton3->click();
    EXPECT_EQ(wb.drawTag, 11);
    form.CB_Oresen->click(); // ticked with any mode: the band
    EXPECT_EQ(wb.drawTag, 23);
    form.CB_Oresen->click(); // unticked: the polygon
    EXPECT_EQ(wb.drawTag, 1);
    EXPECT_TRUE(form.RB_PolyGon2->isChecked());
    form.CB_Oresen->setChecked(true);
    form.RB_PolyGon2->click(); // the polygon with the band ticked
    EXPECT_EQ(wb.drawTag, 23);
    emit form.CB_LayName->activated(0); // a layer change falls back to the polygon
    EXPECT_EQ(wb.drawTag, 1);

    wb.inputRec.nPts = 3;
    form.Btn_ShowArea->click();
    EXPECT_EQ(wb.measureState, 12);
    EXPECT_EQ(wb.drawTag, 1);
    EXPECT_EQ(wb.inputRec.nPts, 3); // points stay
    form.Btn_ShowLen->click();
    EXPECT_EQ(wb.measureState, 2);
}

TEST_F(Workbench, ButtonsOpenTheirDialogs)
{
    Sheet sheet;
    sheet.load(0);
    sheet.drawing.imgDef->dpi = 300;
    sheet.drawing.imgDef->scale = 600;
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);

    std::vector<std::string> calls;
    WorkbenchDialogs& d = wbDialogs();
    d.showDefSakuzu = [&](int index) {
        calls.push_back("sakuzu " + std::to_string(index));
        return 2;
    };
    d.printSetSource = [&](KXDraw* dr, int dpi, int scale) {
        calls.push_back("source " + std::to_string(dr == &sheet.drawing) + " " +
                        std::to_string(dpi) + " " + std::to_string(scale));
    };
    d.showPrint = [&](int kind, int paper) {
        calls.push_back("print " + std::to_string(kind) + " " + std::to_string(paper));
    };
    d.showInputPos = [&] {
        calls.push_back("pos");
        return 1;
    };
    int defResult = 1;
    d.showDefImg = [&](const std::string& caption, const std::string& prefix, TImgDef* def) {
        calls.push_back("defimg " + caption + " [" + prefix + "] " +
                        std::to_string(def == sheet.drawing.imgDef.get()));
        def->dpi = 400;
        return defResult;
    };
    form.Btn_DefSakuzu->click();
    form.Btn_Print->click();
    form.Btn_InputSrv->click();
    const std::string defPath = sheet.dir.file("sheet.Def");
    form.Btn_DefZumen->click(); // cancelled: nothing written
    EXPECT_FALSE(std::filesystem::exists(defPath));
    defResult = 2;
    form.Btn_DefZumen->click();
    EXPECT_TRUE(std::filesystem::exists(defPath));
    EXPECT_EQ(calls, (std::vector<std::string>{"sakuzu 0", "source 1 300 600", "print 12 3", "pos",
                                               "defimg 位置設定 [] 1", "defimg 位置設定 [] 1"}));
}

// ---------------------------------------------------------------------------------------
// The exit

struct Saving : Workbench {
    Sheet sheet{2};
    std::unique_ptr<TFrm_KXInput> form;
    void SetUp() override
    {
        Workbench::SetUp();
        sheet.load(0);
        sheet.store(0).PD_AddPoly(0, polygon("a", 10, 10, 10));
        sheet.store(1).PD_AddPoly(0, polygon("7", 30, 10, 10));
        layTblGet(0)->layer->layerSetDefaults();
        layTblGet(0)->layer->count = 6;
        form = std::make_unique<TFrm_KXInput>();
        form->openOn(&sheet.drawing);
        form->show();
    }
    std::vector<std::string> written() const
    {
        std::vector<std::string> files;
        for (const char* f : {"sheet.ZKI", "sheet-1.ZKI", "LayerDef.Txt", "sheet.Def"})
            if (std::filesystem::exists(sheet.dir.file(f)))
                files.emplace_back(f);
        return files;
    }
};

TEST_F(Saving, YesWritesEveryFileNoNothingCancelStays)
{
    // Cancel, by "終了" and by the close box: the form stays and nothing is written.
    ui::scriptAnswer(ui::Answer::Cancel);
    form->Btn_Exit->click();
    EXPECT_TRUE(form->isVisible());
    ui::scriptAnswer(ui::Answer::Cancel);
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(written().empty());
    ASSERT_EQ(ui::recorded().size(), 2u);
    EXPECT_EQ(ui::recorded()[1].kind, "yesnocancel");
    EXPECT_EQ(ui::recorded()[1].text, "入力した図形を保存しますか？");

    // Escape does not close the workbench.
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());

    ui::scriptAnswer(ui::Answer::Yes);
    form->Btn_Exit->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), 3);
    // The empty layer list of layer 1 is written as well (a count of 0 is no failure).
    EXPECT_EQ(written(), (std::vector<std::string>{"sheet.ZKI", "sheet-1.ZKI", "LayerDef.Txt", "sheet.Def"}));
    EXPECT_TRUE(std::filesystem::exists(sheet.dir.file("LayerDef-1.Txt")));
    PData check;
    check.useNames = 1;
    EXPECT_EQ(check.PD_LoadFile(sheet.dir.file("sheet-1.ZKI"), 1), 1);
    EXPECT_EQ(check.PD_GetPolyPtr(0)->name, "7");
}

TEST_F(Saving, CloseBoxAsksTheSameQuestion)
{
    ui::scriptAnswer(ui::Answer::No);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->result(), 2);
    EXPECT_TRUE(written().empty());

    form->show();
    ui::scriptAnswer(ui::Answer::Yes);
    EXPECT_TRUE(form->close());
    EXPECT_EQ(form->result(), 3);
    EXPECT_EQ(written().size(), 4u);
}

TEST_F(Saving, FailedWritesAreEachReportedAndKeepTheFormOpen)
{
    // A folder that is a file: nothing can be created in it, even as root.
    const std::string blocker = sheet.dir.file("blocker");
    testutil::writeBytes(blocker, "x");
    sheet.drawing.zkiPath[0] = blocker + "/sheet.ZKI";
    layTblGet(0)->layerDefPath = blocker + "/LayerDef.Txt";
    sheet.drawing.imgDef->imagePath = blocker + "/sheet.png";

    testutil::MessageRecorder msgs;
    ui::scriptAnswer(ui::Answer::Yes);
    form->Btn_Exit->click();
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(msgs.messages, (std::vector<std::string>{"ERR OPEN " + blocker + "/sheet.ZKI",
                                                       "ERR OPEN " + blocker + "/LayerDef.Txt",
                                                       "ERR OPEN " + blocker + "/sheet.Def"}));
    // The other files are still written, and the figures are still in memory.
    EXPECT_TRUE(std::filesystem::exists(sheet.dir.file("sheet-1.ZKI")));
    EXPECT_EQ(sheet.store(0).PD_GetCount(), 1);
}

TEST_F(Workbench, ShowKXInputRunsModallyAndGivesTheDrawingBack)
{
    Sheet sheet;
    sheet.load(0);
    bool maximised = false;
    formtest::whenModal([&](QWidget* form) {
        auto* f = qobject_cast<TFrm_KXInput*>(form);
        ASSERT_NE(f, nullptr);
        maximised = f->windowState() & Qt::WindowMaximized;
        ui::scriptAnswer(ui::Answer::Yes);
        f->Btn_Exit->click();
    });
    EXPECT_EQ(showKXInput(&sheet.drawing), 3);
    EXPECT_TRUE(maximised);
    EXPECT_EQ(wb.drawing, nullptr);

    formtest::whenModal([&](QWidget* form) {
        auto* f = qobject_cast<TFrm_KXInput*>(form);
        ASSERT_NE(f, nullptr);
        ui::scriptAnswer(ui::Answer::No);
        f->close();
    });
    EXPECT_EQ(showKXInput(&sheet.drawing), 2);
}

} // namespace
