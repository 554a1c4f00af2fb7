// The print form with Qt's own print and page set-up dialogs (not the scripted ones),
// confirmed as an operator would: the page that comes out is the form's paper, also a size
// that the dialogs' lists lack (A1 and A0 as composed, a free size).
#include "printtest.h"
#include "testutil.h"

#include <QDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

namespace {

using namespace printtest;

// Confirms the next modal dialog once it shows; with `properties`, opens and confirms the
// print dialog's properties first.
void confirmNextDialog(bool properties = false)
{
    QTimer::singleShot(200, [properties] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w) {
            confirmNextDialog(properties);
            return;
        }
        if (properties) {
            if (auto* b = w->findChild<QPushButton*>(QStringLiteral("properties"))) {
                confirmNextDialog();
                b->click();
            }
        }
        if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            d->accept();
    });
}

TEST(PrintDialogs, ThePageIsTheFormsPaperThroughQtsDialogs)
{
    ASSERT_FALSE(ui::isScripted());
    testutil::TempDir dir;
    const std::string pdf = dir.file("page.pdf");
    Drawing drawing;
    defaultSettings();
    aplSetKind(akColouring);
    printSetSource(&drawing.kx, 254, 1000);
    struct Case {
        int paper;
        bool properties; // opened in the print dialog
        bool setUp;      // "プリンタ設定" first
        QSizeF mm;
    };
    const Case cases[] = {
        {9, false, false, {840, 1188}}, // "9 A0縦"
        {8, true, false, {840, 594}},   // "8 A1横"
        {9, false, true, {840, 1188}},
        {0, false, false, {500, 300}},  // "0 任意"
        {4, true, true, {420, 297}},    // "4 A3横"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.paper << (c.properties ? " properties" : "") << (c.setUp ? " set-up" : ""));
        cfgSetInt(kxPaperSize, c.paper);
        cfgSetInt(kxPaperX, 500);
        cfgSetInt(kxPaperY, 300);
        printSetTestOutput(QPageSize(QPageSize::A4), QPageLayout::Portrait, pdf);
        withForm(c.paper, [&](TFrm_Print& f) {
            if (c.setUp) {
                confirmNextDialog();
                QTest::mouseClick(f.Btn_DefPrint, Qt::LeftButton);
                const QSizeF set = printGetPrinter().pageLayout().fullRect(QPageLayout::Millimeter).size();
                EXPECT_NEAR(set.width(), c.mm.width(), 0.01);
                EXPECT_NEAR(set.height(), c.mm.height(), 0.01);
            }
            confirmNextDialog(c.properties);
            QTest::mouseClick(f.Btn_Print, Qt::LeftButton);
        });
        const QSizeF page = pdfPageSizeMm(pdf);
        EXPECT_NEAR(page.width(), c.mm.width(), 0.2); // a PDF's page size is in whole points
        EXPECT_NEAR(page.height(), c.mm.height(), 0.2);
    }
}

} // namespace
