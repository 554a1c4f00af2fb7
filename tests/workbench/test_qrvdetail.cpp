// The record detail grid: names and values of one record, its height, the document button and
// the path of the document it opens.
#include "workbench/qrvdetail.h"

#include "model/laytbl.h"
#include "model/qrv.h"
#include "model/startup.h"
#include "platform/codec.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "recdlg_helpers.h"
#include "testutil.h"

#include <QPushButton>
#include <QTableWidget>

#include <filesystem>

using recdlg::child;
using recdlg::click;
using recdlg::text;
using recdlg::whenModal;
using formtest::messages;

namespace {

// 30 columns; 5 is a document (3), 6 a document too (13), 7 a document left empty, 8 text (11).
std::string thirtyColumns()
{
    std::string types, names, rec12, rec13;
    for (int c = 0; c < 30; ++c) {
        const char* sep = c ? "\t" : "";
        types += sep + std::string(c == 5 || c == 7 ? "3" : c == 6 ? "13" : c == 8 ? "11" : "1");
        names += sep + ("名" + std::to_string(c));
        rec12 += sep + (c == 0 ? std::string("12")
                        : c == 5 ? std::string("a.pdf")
                        : c == 6 ? std::string("sub\\b.pdf")
                        : c == 7 ? std::string()
                                 : "v" + std::to_string(c));
        rec13 += sep + (c == 0 ? std::string("13") : "w" + std::to_string(c));
    }
    return types + "\r\n" + names + "\r\n" + rec12 + "\r\n" + rec13 + "\r\n";
}

class QRVDetail : public ::testing::Test {
protected:
    void SetUp() override
    {
        layTblCreate(3);
        layTblGet(2)->name = "L1";
        qrvCreateTables(2);
        testutil::writeBytes(dir.file("t.txt"), utf8ToCp932(thirtyColumns()));
        ASSERT_EQ(qrvLoadTable(1, dir.file("t.txt")), 2);
        testutil::writeBytes(dir.file("small.txt"), utf8ToCp932("1\t3\r\n番号\t文書\r\n5\tz.pdf\r\n"));
        ASSERT_EQ(qrvLoadTable(0, dir.file("small.txt")), 1);
        cmdBaseDir = dir.path();
        std::filesystem::create_directories(dir.file("L1/12/sub"));
        testutil::writeBytes(dir.file("L1/12/a.pdf"), "%PDF");
        testutil::writeBytes(dir.file("L1/12/sub/b.pdf"), "%PDF");
        utilGetLnkData(1)->folder.clear();
        shellScriptNoProgram(false);
        ui::clearRecorded();
    }
    void TearDown() override
    {
        qrvDetailDestroy();
        cmdBaseDir.clear();
        utilGetLnkData(1)->folder.clear();
        shellScriptNoProgram(false);
    }

    testutil::TempDir dir;
};

QTableWidget* grid(QWidget* f)
{
    return child<QTableWidget>(f, "SG_Detail");
}

std::string cellText(QWidget* f, int col, int row)
{
    QTableWidgetItem* item = grid(f)->item(row, col);
    return item ? text(item->text()) : std::string();
}

void clickRow(QWidget* f, int row, bool twice = false)
{
    QTableWidget* g = grid(f);
    g->scrollToItem(g->item(row, 1));
    QPoint at = g->visualItemRect(g->item(row, 1)).center();
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, at);
}

// Value rows shown whole in the grid's window, as it is scrolled now.
int wholeValueRowsShown(QTableWidget* g)
{
    int n = 0;
    for (int r = 1; r < g->rowCount(); ++r) {
        const int top = g->rowViewportPosition(r);
        if (!g->isRowHidden(r) && top >= 0 && top + g->rowHeight(r) <= g->viewport()->height())
            ++n;
    }
    return n;
}

bool docEnabled(QWidget* f)
{
    return child<QPushButton>(f, "Btn_ShowDoc")->isEnabled();
}

std::vector<std::string> opened()
{
    return formtest::recordedTexts("open");
}

TEST_F(QRVDetail, ThirtyColumnsGiveThirtyOneRowsAndTwentyFiveVisible)
{
    whenModal([](QWidget* f) {
        EXPECT_EQ(text(f->windowTitle()), "レイヤ詳細表示");
        EXPECT_EQ(grid(f)->rowCount(), 31);
        EXPECT_EQ(grid(f)->columnCount(), 2);
        EXPECT_EQ(grid(f)->columnWidth(0), 128);
        EXPECT_EQ(grid(f)->columnWidth(1), 279);
        EXPECT_EQ(grid(f)->rowHeight(3), 21); // 20 pixels and the grid line below them
        EXPECT_EQ(f->height(), 607);
        EXPECT_EQ(wholeValueRowsShown(grid(f)), 25);
        grid(f)->scrollToBottom();
        EXPECT_EQ(wholeValueRowsShown(grid(f)), 25);
        grid(f)->scrollToTop();
        EXPECT_EQ(cellText(f, 0, 1), "名0");
        EXPECT_EQ(cellText(f, 0, 30), "名29");
        EXPECT_EQ(cellText(f, 1, 1), " 12x"); // the number text as given
        EXPECT_EQ(cellText(f, 1, 2), "v1");
        EXPECT_EQ(cellText(f, 1, 30), "v29");
        EXPECT_EQ(grid(f)->currentRow(), 1);
        EXPECT_FALSE(docEnabled(f));
        EXPECT_EQ(detailTable, 1);
        EXPECT_EQ(detailRecord, 0);
        click(f, "Button1");
    });
    showQRVDetail("レイヤ", 1, " 12x");
}

// A number beyond 32 bits names no record: the value column stays empty, never showing the
// record it would wrap to.
TEST_F(QRVDetail, NumberBeyondThirtyTwoBitsShowsNoRecord)
{
    for (const char* number : {"4294967308", "-4294967284"}) {
        SCOPED_TRACE(number);
        whenModal([](QWidget* f) {
            EXPECT_EQ(detailRecord, -1);
            EXPECT_EQ(cellText(f, 1, 1), "");
            EXPECT_EQ(cellText(f, 1, 2), "");
            click(f, "Button1");
        });
        showQRVDetail("レイヤ", 1, number);
    }
}

TEST_F(QRVDetail, DocumentButtonFollowsTheRow)
{
    whenModal([](QWidget* f) {
        const struct {
            int row;
            bool enabled;
        } rows[] = {{6, true}, {7, true}, {8, false}, {9, false}, {2, false}};
        for (const auto& r : rows) {
            clickRow(f, r.row);
            EXPECT_EQ(docEnabled(f), r.enabled) << r.row;
        }
        clickRow(f, 8, true); // the empty document: a double click opens nothing
        EXPECT_TRUE(opened().empty());
        click(f, "Btn_ShowDoc");
        EXPECT_TRUE(opened().empty());
        clickRow(f, 6);
        click(f, "Btn_ShowDoc");
        clickRow(f, 7, true);
        click(f, "Button1");
    });
    showQRVDetail("詳細表示", 1, "12");
    EXPECT_EQ(opened(), (std::vector<std::string>{dir.file("L1/12/a.pdf"), dir.file("L1/12/sub/b.pdf")}));
    EXPECT_TRUE(messages().empty());
}

TEST_F(QRVDetail, SelectionIsKeptAndAMissingRecordClearsTheValues)
{
    whenModal([](QWidget* f) {
        clickRow(f, 6);
        click(f, "Button1");
    });
    showQRVDetail("詳細表示", 1, "12");
    whenModal([](QWidget* f) {
        EXPECT_EQ(grid(f)->currentRow(), 6);
        EXPECT_EQ(detailRecord, -1);
        for (int row = 1; row <= 30; ++row)
            EXPECT_EQ(cellText(f, 1, row), "") << row;
        EXPECT_EQ(cellText(f, 0, 6), "名5");
        EXPECT_FALSE(docEnabled(f));
        f->close();
    });
    showQRVDetail("詳細表示", 1, "99");
    whenModal([](QWidget* f) {
        EXPECT_EQ(grid(f)->rowCount(), 3);
        EXPECT_EQ(grid(f)->currentRow(), 2); // kept within the smaller grid
        EXPECT_EQ(f->height(), 3 * 21 + 61);
        EXPECT_TRUE(docEnabled(f));
        QTest::keyClick(f, Qt::Key_Escape);
    });
    showQRVDetail("詳細表示", 0, "5");
}

TEST_F(QRVDetail, DocumentPathsAndShellFailures)
{
    struct Case {
        const char* what;
        std::function<void()> arrange;
        std::string path;
        std::vector<std::string> shown;
    } cases[] = {
        {"base folder, layer, number, value", [] {}, dir.file("L1/12/a.pdf"), {}},
        {"missing file",
         [&] { std::filesystem::remove(dir.file("L1/12/a.pdf")); },
         dir.file("L1/12/a.pdf"), {"ファイルが見つかりませんでした。"}},
        {"missing folder",
         [&] { std::filesystem::remove_all(dir.file("L1/12")); },
         dir.file("L1/12/a.pdf"), {"パスが見つかりませんでした。"}},
        {"no program", [] { shellScriptNoProgram(true); }, dir.file("L1/12/a.pdf"),
         {"アプリケーションが関連付けられていません。"}},
        {"an absolute link folder", [&] { utilGetLnkData(1)->folder = dir.file("links"); },
         dir.file("links/12/a.pdf"), {"パスが見つかりませんでした。"}},
        {"a relative link folder counts as none", [&] { utilGetLnkData(1)->folder = "links"; },
         dir.file("L1/12/a.pdf"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.arrange();
        whenModal([](QWidget* f) {
            clickRow(f, 6);
            click(f, "Btn_ShowDoc");
            click(f, "Button1");
        });
        showQRVDetail("詳細表示", 1, "12");
        EXPECT_EQ(opened(), std::vector<std::string>{c.path});
        EXPECT_EQ(messages(), c.shown);
        TearDown();
    }
}

} // namespace
