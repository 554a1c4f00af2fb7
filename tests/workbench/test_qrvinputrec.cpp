// The reference-number picker: the record list by kind, the number taken from a line, the
// attribute row found for the number, and its fallbacks.
#include "workbench/qrvinputrec.h"

#include "model/laytbl.h"
#include "model/qrv.h"
#include "platform/codec.h"
#include "platform/strscan.h"
#include "recdlg_helpers.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>

using recdlg::child;
using recdlg::click;
using recdlg::text;
using recdlg::whenModal;

namespace {

// Table 1 (layer entry 2): ten columns, the kind in column 4.
const char* const tenColumns =
    "1\t1\t1\t1\t1\t1\t1\t1\t1\t1\r\n"
    "番号\t所在\t地目\t地積\t種別\te\tf\tg\t所有者\t備考\r\n"
    "7\tx\tP\tQ\t12\t-\t-\t-\tR\tS\r\n"
    "8\tx\t畑a\tb\t14\t-\t-\t-\tc\td\r\n"
    "9\tx\t宅e\tf\t12\t-\t-\t-\tg\th\r\n"
    "20\tx\tno\trow\t99\t-\t-\t-\tfor\tit\r\n";

// Table 0 (layer entry 1): four columns, so columns 8 and 9 do not exist.
const char* const fourColumns = "1\t1\t1\t1\r\n番号\t名\t地目\t種別\r\n7\tn\tP\t3\r\n";

class QRVInputRec : public ::testing::Test {
protected:
    void SetUp() override
    {
        layTblCreate(3);
        TLayer& list = *layTblGet(2)->layer;
        list.layerAdd({12, "宅地"});
        list.layerAdd({14, "畑"});
        qrvCreateTables(2);
        testutil::writeBytes(dir.file("t1.txt"), utf8ToCp932(tenColumns));
        testutil::writeBytes(dir.file("t0.txt"), utf8ToCp932(fourColumns));
        ASSERT_EQ(qrvLoadTable(1, dir.file("t1.txt")), 4);
        ASSERT_EQ(qrvLoadTable(0, dir.file("t0.txt")), 1);
    }

    testutil::TempDir dir;
};

TPRec figure(int kind, int layerIndex, const char* name = "")
{
    TPRec r;
    r.kind = kind;
    r.layerIndex = layerIndex;
    r.name = name;
    return r;
}

QStringList lines(QWidget* f)
{
    QStringList out;
    QListWidget* list = child<QListWidget>(f, "ListBox1");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void clickLine(QWidget* f, int i)
{
    QListWidget* list = child<QListWidget>(f, "ListBox1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(i)).center());
}

void chooseKind(QWidget* f, int item)
{
    QComboBox* cb = child<QComboBox>(f, "CB_Layer");
    cb->setCurrentIndex(item);
    emit cb->activated(item);
}

TEST_F(QRVInputRec, ListsRecordsByKind)
{
    TPRec rec = figure(PK_POLYLINE, 0);
    whenModal([](QWidget* f) {
        EXPECT_EQ(text(f->windowTitle()), "整理番号選択");
        QComboBox* cb = child<QComboBox>(f, "CB_Layer");
        ASSERT_EQ(cb->count(), 3);
        EXPECT_EQ(text(cb->itemText(0)), "000 全レイヤ");
        EXPECT_EQ(text(cb->itemText(1)), "12 宅地");
        EXPECT_EQ(cb->currentIndex(), 1); // layerIndex 0 opens on the first row's item
        EXPECT_EQ(lines(f), (QStringList{"   7 P Q R S", "   9 宅e f g h"}));
        chooseKind(f, 0);
        EXPECT_EQ(lines(f).size(), 4);
        EXPECT_EQ(text(lines(f)[3]), "  20 no row for it");
        chooseKind(f, 2);
        EXPECT_EQ(lines(f), (QStringList{"   8 畑a b c d"}));
        EXPECT_FALSE(child<QLineEdit>(f, "ED_No")->isEnabled());
        click(f, "BTN_Cancel");
    });
    EXPECT_EQ(showQRVInputRec(1, 1, &rec), 1);
}

TEST_F(QRVInputRec, OpeningItemFollowsTheLayerRow)
{
    const struct {
        int layerIndex, item, lineCount;
    } rows[] = {{-3, 0, 4}, {1, 2, 1}, {2, -1, 4}, {1000, -1, 4}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.layerIndex);
        TPRec rec = figure(PK_POLYLINE, row.layerIndex);
        whenModal([&](QWidget* f) {
            EXPECT_EQ(child<QComboBox>(f, "CB_Layer")->currentIndex(), row.item);
            EXPECT_EQ(lines(f).size(), row.lineCount);
            click(f, "BTN_Cancel");
        });
        EXPECT_EQ(showQRVInputRec(1, 1, &rec), 1);
    }
}

TEST_F(QRVInputRec, ColumnsPastTheTableReadEmpty)
{
    TPRec rec = figure(PK_POLYLINE, -1);
    whenModal([](QWidget* f) {
        EXPECT_EQ(lines(f), (QStringList{"   7 P 3  "}));
        click(f, "BTN_Cancel");
    });
    EXPECT_EQ(showQRVInputRec(0, 1, &rec), 1);
}

TEST_F(QRVInputRec, ConfirmTakesTheNumberAndItsKindsRow)
{
    struct Case {
        const char* what;
        int startItem; // CB_Layer item chosen before the line
        int line;      // line clicked, -1 none
        const char* name; // the figure's name at opening
        std::string wantName;
        int wantRow;
    } cases[] = {
        {"record 7 of kind 12", 0, 0, "", "7", 0},
        {"record 8 of kind 14", 0, 1, "", "8", 1},
        {"record 20: no row has kind 99", 0, 3, "", "20", 0},
        {"no record 55: the selected kind's row", 2, -1, "55", "55", 1},
        {"no record 55 under 全レイヤ: row 0", 0, -1, "55", "55", 0},
        // 2^32 + 8 would wrap to record 8 of kind 14.
        {"a number beyond 32 bits is no record's", 0, -1, "4294967304", "4294967304", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TPRec rec = figure(PK_POLYLINE, 0, c.name);
        rec.flags = 9;
        whenModal([&](QWidget* f) {
            chooseKind(f, c.startItem);
            if (c.line >= 0)
                clickLine(f, c.line);
            EXPECT_EQ(text(child<QLineEdit>(f, "ED_No")->text()), c.wantName);
            EXPECT_EQ(text(child<QPushButton>(f, "BTN_Update")->text()), "追加");
            click(f, "BTN_Update");
        });
        EXPECT_EQ(showQRVInputRec(1, 3, &rec), 3);
        EXPECT_EQ(rec.name, c.wantName);
        EXPECT_EQ(rec.layerIndex, c.wantRow);
        EXPECT_EQ(rec.flags, 0);
    }
}

TEST_F(QRVInputRec, MarksFillAndResults)
{
    // A leader line: the mark boxes and their rule as in the attribute dialog.
    TPRec lead = figure(PK_LEADER_MARKS, 0, "7");
    lead.flags = 10;
    lead.pts.resize(2000);
    lead.pts[5] = {1, 2};
    whenModal([](QWidget* f) {
        EXPECT_TRUE(child<QGroupBox>(f, "GB_SEDef")->isVisible());
        EXPECT_FALSE(child<QCheckBox>(f, "CBOX_FILL")->isVisible());
        EXPECT_TRUE(child<QCheckBox>(f, "CHK_EDsp")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(f, "CHK_EFuti")->isChecked());
        EXPECT_FALSE(child<QCheckBox>(f, "CHK_SFuti")->isEnabled());
        click(f, "CHK_SDsp");
        EXPECT_TRUE(child<QCheckBox>(f, "CHK_SFuti")->isEnabled());
        EXPECT_EQ(text(child<QPushButton>(f, "BTN_Update")->text()), "更新");
        click(f, "BTN_Update");
    });
    EXPECT_EQ(showQRVInputRec(1, 1, &lead), 2);
    EXPECT_EQ(lead.flags, 11);
    EXPECT_EQ(lead.pts.size(), 2000u);
    EXPECT_EQ(lead.pts[5], (TPoint{1, 2}));

    TPRec poly = figure(PK_CIRCLE, 0, "9");
    poly.flags = 1;
    whenModal([](QWidget* f) {
        EXPECT_TRUE(child<QCheckBox>(f, "CBOX_FILL")->isChecked());
        EXPECT_FALSE(child<QGroupBox>(f, "GB_SEDef")->isVisible());
        clickLine(f, 0);
        f->close();
    });
    EXPECT_EQ(showQRVInputRec(1, 1, &poly), 2); // frame close: nothing written back
    EXPECT_EQ(poly.name, "9");
    EXPECT_EQ(poly.flags, 1);

    whenModal([](QWidget* f) {
        clickLine(f, 0);
        QTest::keyClick(f, Qt::Key_Escape);
    });
    EXPECT_EQ(showQRVInputRec(1, 2, &poly), 1);
    EXPECT_EQ(poly.name, "9");
}

TEST_F(QRVInputRec, OnlyAChosenLineGivesTheNumber)
{
    // Reaching the list by the keyboard chooses nothing; moving through it does.
    TPRec rec = figure(PK_POLYLINE, -1, "55");
    whenModal([](QWidget* f) {
        QListWidget* list = child<QListWidget>(f, "ListBox1");
        QApplication::setActiveWindow(f);
        list->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        ASSERT_TRUE(list->hasFocus());
        EXPECT_EQ(text(child<QLineEdit>(f, "ED_No")->text()), "55");
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(text(child<QLineEdit>(f, "ED_No")->text()), text(QString::number(
            strToLong(list->currentItem()->text().toStdString()))));
        EXPECT_NE(text(child<QLineEdit>(f, "ED_No")->text()), "55");
        click(f, "BTN_Cancel");
    });
    EXPECT_EQ(showQRVInputRec(1, 1, &rec), 1);
    EXPECT_EQ(rec.name, "55");

    whenModal([](QWidget* f) {
        QApplication::setActiveWindow(f);
        child<QListWidget>(f, "ListBox1")->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        click(f, "BTN_Update");
    });
    EXPECT_EQ(showQRVInputRec(1, 1, &rec), 2);
    EXPECT_EQ(rec.name, "55");
}

TEST_F(QRVInputRec, DetailOpensTheGridForTheNumber)
{
    TPRec rec = figure(PK_POLYLINE, 0);
    QString caption, number;
    whenModal([&](QWidget* f) {
        clickLine(f, 1);
        whenModal([&](QWidget* grid) {
            caption = grid->windowTitle();
            number = grid->findChild<QTableWidget*>("SG_Detail")->item(1, 1)->text();
            click(grid, "Button1");
        });
        click(f, "Btn_DspDetail");
        click(f, "BTN_Cancel");
    });
    EXPECT_EQ(showQRVInputRec(1, 1, &rec), 1);
    EXPECT_EQ(text(caption), "詳細表示詳細表示");
    EXPECT_EQ(text(number), "9"); // the second line of kind 12
}

} // namespace

// A long kind name leaves the dialog as wide as short ones do, within the screen, and the
// reference number shows whole.
TEST_F(QRVInputRec, ALongKindNameKeepsTheDialogWithinTheScreen)
{
    std::string longName;
    for (int i = 0; i < 80; ++i)
        longName += i % 2 ? "地" : "宅";
    int shortWidth = 0;
    for (const std::string& kind : {std::string("宅地"), longName}) {
        SCOPED_TRACE(kind.size());
        layTblGet(2)->layer->layerSet(0, {12, kind});
        TPRec rec = figure(PK_POLYLINE, 0, "2147483647");
        whenModal([&](QWidget* f) {
            if (shortWidth == 0)
                shortWidth = f->width();
            EXPECT_EQ(f->width(), shortWidth);
            EXPECT_LE(f->frameGeometry().width(), f->screen()->availableGeometry().width());
            formtest::expectFieldsShowWhole(f, {{"ED_No", "2147483647"}});
            click(f, "BTN_Cancel");
        });
        EXPECT_EQ(showQRVInputRec(1, 1, &rec), 1);
    }
}
