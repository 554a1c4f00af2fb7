// The drawing-settings dialog driven through its controls: layer rows, refusals, the drawing
// settings and the colour field.
#include "dialogs/defsakuzu.h"
#include "formtest.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "platform/satint.h"
#include "platform/ui.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

TLayerRec row(int code, const char* name, int color, int lineCode, int spare = 5, int legend = 0)
{
    TLayerRec r;
    r.code = code;
    r.name = name;
    r.color = color;
    r.lineCode = lineCode;
    r.spareValue = spare;
    r.legendMode = legend;
    return r;
}

// Two entries: the figure layer with three rows, a second with one row.
void makeLayers()
{
    layTblCreate(2);
    layTblGet(0)->name = "図形等";
    layTblGet(1)->name = "境界";
    TLayer& a = *layTblGet(0)->layer;
    a.count = 0;
    a.layerAdd(row(10, "道路", 0x0000FF, 102));
    a.layerAdd(row(20, "水路", 0xFF0000, 1));
    a.layerAdd(row(30, "建物", 0x00FF00, 305));
    TLayer& b = *layTblGet(1)->layer;
    b.count = 0;
    b.layerAdd(row(1, "筆界", 0, 1));
}

template <class T>
T* child(const char* name)
{
    T* w = Frm_DefSakuzu->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void click(const char* name)
{
    QTest::mouseClick(child<QPushButton>(name), Qt::LeftButton);
}

void setText(const char* name, const QString& text)
{
    QLineEdit* e = child<QLineEdit>(name);
    e->clear();
    // QTest types only Latin-1 keys; other text is put in as an input method would.
    bool latin = true;
    for (QChar c : text)
        latin = latin && c.unicode() < 0x80;
    if (latin)
        QTest::keyClicks(e, text);
    else
        e->insert(text);
}

// Opens the dialog on `index`, runs `act` inside it and leaves with "終了".
int runDialog(int index, const std::function<void()>& act)
{
    QTimer::singleShot(0, [act] {
        act();
        if (Frm_DefSakuzu->isVisible())
            click("Btn_Exit");
    });
    return showDefSakuzu(index);
}

void selectRow(int gridRow)
{
    QTableWidget* g = child<QTableWidget>("StringGrid1");
    g->setCurrentCell(gridRow - 1, 0);
}

class DefSakuzu : public ::testing::Test {
protected:
    void SetUp() override
    {
        ui::useScripted();
        defSakuzuCreate();
        makeLayers();
    }
    void TearDown() override { defSakuzuDestroy(); }
    static std::vector<std::string> messages() { return formtest::messages(); }
};

TEST_F(DefSakuzu, FormShowsTheListAndStartsAtTheFirstRowEachOpening)
{
    TLayer& a = *layTblGet(0)->layer;
    a.current = 2;
    int result = runDialog(0, [&] {
        EXPECT_EQ(Frm_DefSakuzu->windowTitle(), QStringLiteral("作図設定"));
        EXPECT_EQ(Frm_DefSakuzu->size(), QSize(434, 394));
        QTableWidget* g = child<QTableWidget>("StringGrid1");
        ASSERT_EQ(g->rowCount(), 3);
        EXPECT_EQ(g->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("線種"));
        EXPECT_EQ(g->item(0, 0)->text(), QStringLiteral("  10"));
        EXPECT_EQ(g->item(0, 4)->text(), QStringLiteral("破線"));
        EXPECT_EQ(g->item(2, 3)->text(), QStringLiteral("5"));
        EXPECT_EQ(g->item(2, 4)->text(), QStringLiteral("一点鎖線"));
        EXPECT_EQ(g->item(1, 2)->background().color(), QColor(0, 0, 255));
        EXPECT_EQ(g->currentRow(), 0);
        EXPECT_EQ(a.current, 0);
        EXPECT_EQ(child<QLineEdit>("ED_Code")->text(), QStringLiteral("10"));
        EXPECT_EQ(child<QComboBox>("CB_Width")->currentText(), QStringLiteral("2"));
        EXPECT_EQ(child<QComboBox>("CB_Style")->currentIndex(), 1);
        EXPECT_FALSE(child<QComboBox>("CB_Mode")->isVisible());
        EXPECT_FALSE(child<QComboBox>("CB_AreaVal")->isVisible());
        selectRow(3);
        EXPECT_EQ(a.current, 2);
        EXPECT_EQ(child<QLineEdit>("ED_Name")->text(), QStringLiteral("建物"));
        // Escape does nothing.
        QTest::keyClick(Frm_DefSakuzu, Qt::Key_Escape);
        EXPECT_TRUE(Frm_DefSakuzu->isVisible());
        // The other list.
        QComboBox* names = child<QComboBox>("CB_LayName");
        ASSERT_EQ(names->count(), 2);
        EXPECT_EQ(names->itemText(0), QStringLiteral("図形等"));
        names->setCurrentIndex(1);
        emit names->activated(1);
        EXPECT_EQ(g->rowCount(), 1);
        EXPECT_EQ(child<QLineEdit>("ED_Name")->text(), QStringLiteral("筆界"));
    });
    EXPECT_EQ(result, 2);
    // Reopened: the first row again.
    runDialog(0, [&] { EXPECT_EQ(a.current, 0); });
    EXPECT_EQ(a.current, 0);
}

// The numbers of both pages show whole in their fields: codes, widths, sizes in millimetres.
TEST_F(DefSakuzu, NumericFieldsShowTheirLongestNumbersWhole)
{
    runDialog(0, [] {
        formtest::expectFieldsShowWhole(Frm_DefSakuzu, {{"ED_Code", "99999"},
                                                        {"CB_Width", "99"},
                                                        {"ED_TxtSize", "50.0"},
                                                        {"ED_SArrSize", "50.0"},
                                                        {"ED_EArrSize", "50.0"}});
    });
}

TEST_F(DefSakuzu, EnterInAFieldNeitherChangesTheRowNorGrowsTheLists)
{
    TLayer& a = *layTblGet(0)->layer;
    const TLayerRec before = a.rows[0];
    runDialog(0, [&] {
        QComboBox* width = child<QComboBox>("CB_Width");
        width->lineEdit()->selectAll();
        QTest::keyClicks(width->lineEdit(), "7");
        QTest::keyClick(width->lineEdit(), Qt::Key_Return);
        QLineEdit* code = child<QLineEdit>("ED_Code");
        code->selectAll();
        QTest::keyClicks(code, "99");
        QTest::keyClick(code, Qt::Key_Return);
        EXPECT_TRUE(Frm_DefSakuzu->isVisible());
        // The list keeps its five widths; the typed one stays as text.
        EXPECT_EQ(width->count(), 5);
        EXPECT_EQ(width->currentText(), QStringLiteral("7"));
        // The row changes only with "更新" or "追加".
        EXPECT_EQ(a.count, 3);
        EXPECT_EQ(a.rows[0].code, before.code);
        EXPECT_EQ(a.rows[0].lineCode, before.lineCode);
    });
}

TEST_F(DefSakuzu, ModifyKeepsSpareValueAndRefusesAnotherRowsCode)
{
    TLayer& a = *layTblGet(0)->layer;
    runDialog(0, [&] {
        selectRow(2); // code 20
        // Same code, new name, width typed as 7, style 一点鎖線.
        setText("ED_Name", QStringLiteral("水路２"));
        child<QComboBox>("CB_Width")->setEditText(QStringLiteral("7"));
        child<QComboBox>("CB_Style")->setCurrentIndex(3);
        click("Btn_LayModify");
        EXPECT_EQ(a.rows[1].name, "水路２");
        EXPECT_EQ(a.rows[1].lineCode, 307);
        EXPECT_EQ(a.rows[1].spareValue, 5);
        EXPECT_EQ(child<QTableWidget>("StringGrid1")->item(1, 3)->text(), QStringLiteral("7"));
        // Code of another row: refused.
        setText("ED_Code", QStringLiteral("30"));
        click("Btn_LayModify");
        EXPECT_EQ(a.rows[1].code, 20);
        // A code that is no number gives 0; the list re-sorts and current stays at index 1.
        setText("ED_Code", QStringLiteral("abc"));
        click("Btn_LayModify");
        EXPECT_EQ(a.rows[0].code, 0);
        EXPECT_EQ(a.rows[1].code, 10);
        EXPECT_EQ(a.current, 1);
        EXPECT_EQ(child<QLineEdit>("ED_Code")->text(), QStringLiteral("10"));
    });
    EXPECT_EQ(messages(), std::vector<std::string>{"同じコードが既に登録済みです。"});
}

TEST_F(DefSakuzu, AddSortsInAndRefusesAnExistingCode)
{
    TLayer& a = *layTblGet(0)->layer;
    runDialog(0, [&] {
        selectRow(2);
        click("Btn_LayAdd"); // the current row's code 20
        EXPECT_EQ(a.count, 3);
        setText("ED_Code", QStringLiteral("15"));
        setText("ED_Name", QStringLiteral("新"));
        click("Btn_LayAdd");
        ASSERT_EQ(a.count, 4);
        EXPECT_EQ(a.rows[1].code, 15);
        EXPECT_EQ(a.rows[1].spareValue, 1);
        EXPECT_EQ(a.current, 1);
        EXPECT_EQ(child<QTableWidget>("StringGrid1")->rowCount(), 4);
    });
    EXPECT_EQ(messages(), std::vector<std::string>{"同じコードが既に登録済みです。"});
}

// A code beyond 32 bits would wrap into another code: modify and add refuse it and leave the
// list as it was; the largest code that fits is taken.
TEST_F(DefSakuzu, CodeBeyondThirtyTwoBitsIsRefused)
{
    TLayer& a = *layTblGet(0)->layer;
    runDialog(0, [&] {
        selectRow(2); // code 20
        for (const char* typed : {"99999999999", "-4294967276"}) {
            for (const char* button : {"Btn_LayModify", "Btn_LayAdd"}) {
                SCOPED_TRACE(std::string(typed) + " " + button);
                setText("ED_Code", QString::fromLatin1(typed));
                click(button);
                ASSERT_EQ(a.count, 3);
                EXPECT_EQ(a.rows[1].code, 20);
            }
        }
        setText("ED_Code", QStringLiteral("2147483647"));
        click("Btn_LayAdd");
        ASSERT_EQ(a.count, 4);
        EXPECT_EQ(a.rows[3].code, 2147483647);
    });
    EXPECT_EQ(messages(), std::vector<std::string>(4, "コードが範囲外です。"));
}

TEST_F(DefSakuzu, DeleteKeepsTheLastRowAndClampsTheSelection)
{
    TLayer& a = *layTblGet(0)->layer;
    TLayer& b = *layTblGet(1)->layer;
    runDialog(0, [&] {
        selectRow(3);
        click("Btn_LayDel");
        EXPECT_EQ(a.count, 2);
        EXPECT_EQ(a.current, 1); // the row now last
        EXPECT_EQ(child<QLineEdit>("ED_Code")->text(), QStringLiteral("20"));
        EXPECT_EQ(child<QTableWidget>("StringGrid1")->currentRow(), 1);
    });
    runDialog(1, [&] { click("Btn_LayDel"); });
    EXPECT_EQ(b.count, 1);
    EXPECT_EQ(messages(), std::vector<std::string>{"最後のデータは、削除できません。"});
}

TEST_F(DefSakuzu, ModifyOnAnEmptyListAddsTheRow)
{
    TLayer& b = *layTblGet(1)->layer;
    b.count = 0;
    runDialog(1, [&] {
        setText("ED_Code", QStringLiteral("7"));
        setText("ED_Name", QStringLiteral("追"));
        click("Btn_LayModify");
    });
    ASSERT_EQ(b.count, 1);
    EXPECT_EQ(b.rows[0].code, 7);
    EXPECT_EQ(b.rows[0].name, "追");
}

TEST_F(DefSakuzu, ColourFieldTakesThePickedColourAndTheRowOnlyOnModify)
{
    TLayer& a = *layTblGet(0)->layer;
    runDialog(0, [&] {
        ui::scriptColor(0x123456);
        QTest::mouseClick(child<TColorField>("ST_Col"), Qt::LeftButton);
        EXPECT_EQ(child<TColorField>("ST_Col")->color(), 0x123456);
        EXPECT_EQ(a.rows[0].color, 0x0000FF);
        // Cancelled: unchanged.
        ui::scriptAnswer(ui::Answer::Cancel);
        QTest::mouseClick(child<TColorField>("ST_Col"), Qt::LeftButton);
        EXPECT_EQ(child<TColorField>("ST_Col")->color(), 0x123456);
        click("Btn_LayModify");
        EXPECT_EQ(a.rows[0].color, 0x123456);
    });
}

struct SettingsCase {
    int stored;        // TextSize
    const char* shown; // as the field shows it
    const char* typed;
    int storedAfter;
};

TEST_F(DefSakuzu, DrawingSettingsShownInMillimetresAndStoredInTenths)
{
    const SettingsCase cases[] = {
        {30, "3.0", "3.0", 30},
        {25, "2.5", "2.55", 25},
        {7, "0.7", "x", 0},
        {123, "12.3", " 4.99mm", 49},
    };
    for (const SettingsCase& c : cases) {
        cfgSetInt(kxTextSize, c.stored);
        cfgSetInt(kxSArrowSize, 10);
        cfgSetInt(kxEArrowSize, 20);
        cfgSetInt(kxFontType, 1);
        cfgSetInt(kxVtxVal, 3);
        cfgSetInt(kxAreaVal, 9); // outside its list
        runDialog(0, [&] {
            EXPECT_EQ(child<QLineEdit>("ED_TxtSize")->text(), QString::fromLatin1(c.shown));
            EXPECT_EQ(child<QLineEdit>("ED_SArrSize")->text(), QStringLiteral("1.0"));
            EXPECT_TRUE(child<QRadioButton>("RB_DSP_M")->isChecked());
            EXPECT_EQ(child<QComboBox>("CB_VtxVal")->currentIndex(), 2);
            EXPECT_EQ(child<QComboBox>("CB_AreaVal")->currentIndex(), -1);
            setText("ED_TxtSize", QString::fromLatin1(c.typed));
            child<QRadioButton>("RB_DSP_G")->setChecked(true);
            child<QComboBox>("CB_VtxVal")->setCurrentIndex(9);
            click("Btn_Modify4");
        });
        EXPECT_EQ(cfgGetInt(kxTextSize), c.storedAfter) << c.typed;
        EXPECT_EQ(cfgGetInt(kxSArrowSize), 10);
        EXPECT_EQ(cfgGetInt(kxEArrowSize), 20);
        EXPECT_EQ(cfgGetInt(kxFontType), 0);
        EXPECT_EQ(cfgGetInt(kxVtxVal), 10);
        EXPECT_EQ(cfgGetInt(kxAreaVal), 9);
    }
}

// A size beyond the int range stops at the saturation limit; forms that are no decimal number
// store 0; a width beyond it leaves room for the style's hundreds.
TEST_F(DefSakuzu, TypedNumbersSaturateAndOnlyDecimalsAreNumbers)
{
    struct Case {
        const char* typed;
        int tenths;
    };
    const Case cases[] = {
        {"1e12", kSatIntLimit}, {"-1e12", -kSatIntLimit}, {"3e9", kSatIntLimit},
        {"nan", 0},             {"inf", 0},               {"0x10", 0},
        {"1e999", 0},
    };
    for (const Case& c : cases) {
        cfgSetInt(kxTextSize, 30);
        cfgSetInt(kxSArrowSize, 30);
        cfgSetInt(kxEArrowSize, 30);
        runDialog(0, [&] {
            for (const char* field : {"ED_TxtSize", "ED_SArrSize", "ED_EArrSize"})
                setText(field, QString::fromLatin1(c.typed));
            click("Btn_Modify4");
        });
        for (int slot : {kxTextSize, kxSArrowSize, kxEArrowSize})
            EXPECT_EQ(cfgGetInt(slot), c.tenths) << c.typed << " slot " << slot;
    }

}

// The width and the style share lineCode (style × 100 + width): a typed width outside 0..99
// would read back as another style, so modify and add refuse it; 0 and 99 are taken.
TEST_F(DefSakuzu, WidthOutsideTheLineCodeIsRefused)
{
    TLayer& a = *layTblGet(0)->layer;
    runDialog(0, [&] {
        selectRow(2); // code 20, lineCode 1
        child<QComboBox>("CB_Style")->setCurrentIndex(1);
        for (const char* typed : {"100", "2147483647", "99999999999", "-1"}) {
            for (const char* button : {"Btn_LayModify", "Btn_LayAdd"}) {
                SCOPED_TRACE(std::string(typed) + " " + button);
                setText("ED_Code", QStringLiteral("25"));
                child<QComboBox>("CB_Width")->setEditText(QString::fromLatin1(typed));
                click(button);
                ASSERT_EQ(a.count, 3);
                EXPECT_EQ(a.rows[1].code, 20);
                EXPECT_EQ(a.rows[1].lineCode, 1);
            }
        }
        const struct {
            const char* typed;
            int lineCode;
        } taken[] = {{"99", 199}, {"0", 100}};
        for (const auto& t : taken) {
            child<QComboBox>("CB_Width")->setEditText(QString::fromLatin1(t.typed));
            click("Btn_LayModify");
            EXPECT_EQ(a.rows[1].lineCode, t.lineCode) << t.typed;
        }
    });
    EXPECT_EQ(messages(), std::vector<std::string>(8, "線幅が範囲外です。"));
}

TEST_F(DefSakuzu, WindowFrameGivesTwo)
{
    QTimer::singleShot(0, [] { Frm_DefSakuzu->close(); });
    EXPECT_EQ(showDefSakuzu(0), 2);
}

} // namespace

namespace {

TEST(ColourQuery, ScriptedAnswersInQueueOrder)
{
    ::setenv("NURIVO_UI_ANSWERS", "color:00FF80;input:x", 1);
    ui::useScripted();
    ::unsetenv("NURIVO_UI_ANSWERS");
    // An input query does not take a colour answer, and a colour query no input answer.
    std::string value = "keep";
    EXPECT_FALSE(ui::inputQuery("c", "p", value));
    EXPECT_EQ(value, "keep");
    int color = 0x123456;
    EXPECT_FALSE(ui::colorQuery(color));
    EXPECT_EQ(color, 0x123456);
    ui::scriptColor(0xABCDEF);
    EXPECT_TRUE(ui::colorQuery(color));
    EXPECT_EQ(color, 0xABCDEF);
    EXPECT_FALSE(ui::colorQuery(color)); // empty queue: cancelled
    ASSERT_EQ(ui::recorded().size(), 4u);
    EXPECT_EQ(ui::recorded()[2], (ui::Record{"color", "", "", "ok", "ABCDEF"}));
    EXPECT_EQ(ui::recorded()[3].answer, "cancel");
}

} // namespace
