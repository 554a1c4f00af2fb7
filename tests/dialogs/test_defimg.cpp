// The image and position dialog driven through its controls and views: the one-point
// setting, picks, scrolling, the results and what reaches the caller.
#include "dialogs/defimg.h"

#include "formtest.h"
#include "model/imgdef.h"
#include "platform/satint.h"
#include "platform/ui.h"
#include "render/paintboxex.h"
#include "testutil.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

// A white raster with a black first column and a black first row.
std::string writeRaster(const testutil::TempDir& dir, const char* name, int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int y = 0; y < h; ++y)
        img.setPixel(0, y, qRgb(0, 0, 0));
    for (int x = 0; x < w; ++x)
        img.setPixel(x, 0, qRgb(0, 0, 0));
    std::string path = dir.file(name);
    EXPECT_TRUE(img.save(QString::fromStdString(path), "PNG"));
    return path;
}

TFrm_DefImg* dialog()
{
    return qobject_cast<TFrm_DefImg*>(QApplication::activeModalWidget());
}

// Runs the dialog with `act` inside it; `act` ends it (or "取消" does).
int run(TImgDef& def, const std::function<void(TFrm_DefImg*)>& act, const std::string& prefix = "")
{
    QTimer::singleShot(0, [act] {
        TFrm_DefImg* d = dialog();
        ASSERT_NE(d, nullptr);
        act(d);
        if (dialog() == d)
            d->Button4->click();
    });
    return showDefImg("位置設定", prefix, &def);
}

void moveMouse(TPaintBoxEx* view, int x, int y, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    QPointF p(x, y);
    QMouseEvent e(QEvent::MouseMove, p, view->mapToGlobal(p), Qt::NoButton, Qt::NoButton, mods);
    QApplication::sendEvent(view, &e);
}

void press(TPaintBoxEx* view, QEvent::Type type, int x, int y)
{
    QPointF p(x, y);
    QMouseEvent e(type, p, view->mapToGlobal(p), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &e);
}

class DefImg : public ::testing::Test {
protected:
    testutil::TempDir dir;
    TImgDef def;
    void SetUp() override
    {
        ui::useScripted();
        def.imagePath = writeRaster(dir, "sheet.png", 3000, 2000);
        def.dpi = 200;
        def.scale = 1000;
        def.imgX1 = 1000;
        def.imgY1 = 2000;
        def.worldX1 = 5000.0;
        def.worldY1 = 3000.0;
        def.imgX2 = 1500;
        def.imgY2 = 1500;
        def.worldX2 = 4900.0;
        def.worldY2 = 3100.0;
    }
    static std::vector<std::string> messages() { return formtest::messages(); }
};

TEST_F(DefImg, RasterThatCannotBeLoadedGivesZero)
{
    TImgDef before = def;
    def.imagePath = "gone.png";
    EXPECT_EQ(showDefImg("位置設定", dir.path(), &def), 0);
    EXPECT_EQ(messages(), std::vector<std::string>{"ERROR-OPEN " + dir.file("gone.png")});
    EXPECT_EQ(def.dpi, before.dpi);
    EXPECT_EQ(def.width, 0);
}

TEST_F(DefImg, FieldsShowTheDefinitionAndConfirmReturnsTypedValues)
{
    int result = run(def, [](TFrm_DefImg* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("位置設定"));
        EXPECT_TRUE(d->isMaximized());
        EXPECT_EQ(d->ED_IX1->text(), QStringLiteral("1000"));
        EXPECT_EQ(d->ED_SX1->text(), QStringLiteral("5000"));
        EXPECT_EQ(d->CB_DPI->currentText(), QStringLiteral("200"));
        EXPECT_EQ(d->CB_ZScale->currentText(), QStringLiteral("1000"));
        EXPECT_EQ(d->PaintBoxEx2->size(), QSize(254, 190));
        EXPECT_EQ(d->L_SLen->text(), QStringLiteral("141.421"));
        // Escape does nothing.
        QTest::keyClick(d, Qt::Key_Escape);
        EXPECT_EQ(dialog(), d);
        d->ED_IX1->setText(QStringLiteral("1234abc"));
        d->ED_SY1->setText(QStringLiteral("3000.125m"));
        d->CB_DPI->setEditText(QStringLiteral("0")); // no resolution: the previous one stays
        d->CB_ZScale->setEditText(QStringLiteral("2500"));
        QTest::mouseClick(d->Button3, Qt::LeftButton);
    });
    EXPECT_EQ(result, 2);
    EXPECT_EQ(def.imgX1, 1234);
    EXPECT_DOUBLE_EQ(def.worldY1, 3000.125);
    EXPECT_EQ(def.dpi, 200);
    EXPECT_EQ(def.scale, 2500);
    EXPECT_EQ(def.width, 3000);
    EXPECT_EQ(def.height, 2000);
}

TEST_F(DefImg, CancelKeepsTheDefinitionAndTheFrameConfirms)
{
    TImgDef before = def;
    EXPECT_EQ(run(def, [](TFrm_DefImg* d) { d->ED_IX1->setText(QStringLiteral("7")); }), 1);
    EXPECT_EQ(def.imgX1, before.imgX1);
    EXPECT_EQ(def.width, 0);
    EXPECT_EQ(run(def, [](TFrm_DefImg* d) {
                  d->ED_IX1->setText(QStringLiteral("7"));
                  d->close();
              }),
              2);
    EXPECT_EQ(def.imgX1, 7);
}

TEST_F(DefImg, EnterInAFieldStartsNoPickAndGrowsNoList)
{
    EXPECT_EQ(run(def, [](TFrm_DefImg* d) {
                  d->CB_DPI->lineEdit()->selectAll();
                  QTest::keyClicks(d->CB_DPI->lineEdit(), "250");
                  QTest::keyClick(d->CB_DPI->lineEdit(), Qt::Key_Return);
                  d->ED_IX1->setFocus();
                  QTest::keyClick(d->ED_IX1, Qt::Key_Return);
                  // Only the four "マウス指示" start a pick.
                  EXPECT_EQ(d->mode, 0);
                  EXPECT_EQ(d->CB_DPI->count(), 5);
                  EXPECT_EQ(d->CB_ZScale->count(), 7);
                  d->Button3->click();
              }),
              2);
    EXPECT_EQ(def.dpi, 250);
}

// Typed numbers stand as typed: "250" is not completed to the listed "2500", nor "10" to "100".
TEST_F(DefImg, TypedNumbersAreNotCompletedFromTheLists)
{
    EXPECT_EQ(run(def, [](TFrm_DefImg* d) {
                  d->activateWindow();
                  EXPECT_TRUE(QTest::qWaitForWindowActive(d)); // completion works in the active window
                  for (QComboBox* box : {d->CB_DPI, d->CB_ZScale}) {
                      box->setFocus();
                      box->lineEdit()->selectAll();
                      QTest::keyClicks(box->lineEdit(), box == d->CB_DPI ? "10" : "250");
                      QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
                  }
                  EXPECT_EQ(d->CB_DPI->currentText(), QStringLiteral("10"));
                  EXPECT_EQ(d->CB_ZScale->currentText(), QStringLiteral("250"));
                  d->Button3->click();
              }),
              2);
    EXPECT_EQ(def.dpi, 10);
    EXPECT_EQ(def.scale, 250);
}

TEST_F(DefImg, OnePointSetsThePointHundredPixelsOnAndDropsTypedText)
{
    run(def, [](TFrm_DefImg* d) {
        d->ED_IX1->setText(QStringLiteral("55")); // lost: the working copy is used
        QTest::mouseClick(d->Button9, Qt::LeftButton);
        EXPECT_EQ(d->ED_IX1->text(), QStringLiteral("1000"));
        EXPECT_EQ(d->ED_IX2->text(), QStringLiteral("1100"));
        EXPECT_EQ(d->ED_IY2->text(), QStringLiteral("2100"));
        EXPECT_EQ(d->ED_SX2->text(), QStringLiteral("4987.3"));
        EXPECT_EQ(d->ED_SY2->text(), QStringLiteral("3012.7"));
        EXPECT_EQ(d->L_SLen->text(), QStringLiteral("17.961"));
        EXPECT_EQ(d->L_ILen->text(), QStringLiteral("141.421"));
        EXPECT_EQ(d->L_LenRat->text(), QStringLiteral("0.127"));
        EXPECT_EQ(d->mode, 0);
        QTest::mouseClick(d->Button3, Qt::LeftButton);
    });
    EXPECT_EQ(def.imgX2, 1100);
    EXPECT_NEAR(def.worldX2, 4987.3, 1e-9);
    EXPECT_NEAR(def.worldY2, 3012.7, 1e-9);
    EXPECT_EQ(def.imgX1, 1000);
}

TEST_F(DefImg, OnePointWithoutAResolutionIsRefused)
{
    def.dpi = 0;
    run(def, [](TFrm_DefImg* d) {
        QTest::mouseClick(d->Button9, Qt::LeftButton);
        EXPECT_EQ(d->ED_IX2->text(), QStringLiteral("1500"));
    });
    EXPECT_EQ(messages(), std::vector<std::string>{"イメージ解像度が正しくありません"});
}

TEST_F(DefImg, ShiftScrollsAtTheEdgesAndStopsAtTheRaster)
{
    run(def, [](TFrm_DefImg* d) {
        TPaintBoxEx* v = d->PaintBoxEx1;
        const int w = v->width(), h = v->height();
        ASSERT_GT(w, 128);
        ASSERT_GT(h, 128);
        EXPECT_EQ(d->vpRight - d->vpLeft, w);
        // Top-left corner at the raster's top-left: stays.
        moveMouse(v, 10, 10, Qt::ShiftModifier);
        EXPECT_EQ(QPoint(d->vpLeft, d->vpTop), QPoint(0, 0));
        // Bottom-right corner: both directions at once.
        moveMouse(v, w - 10, h - 10, Qt::ShiftModifier);
        EXPECT_EQ(QPoint(d->vpLeft, d->vpTop), QPoint(64, 64));
        moveMouse(v, 10, 10, Qt::ShiftModifier);
        EXPECT_EQ(QPoint(d->vpLeft, d->vpTop), QPoint(0, 0));
        // Without Shift only the mouse point and the status bar follow.
        moveMouse(v, w - 10, h - 10, Qt::ShiftModifier);
        moveMouse(v, 30, 40);
        EXPECT_EQ(QPoint(d->vpLeft, d->vpTop), QPoint(64, 64));
        EXPECT_EQ(imgDlgMousePoint, QPoint(94, 104));
        EXPECT_TRUE(d->StatusBar1->currentMessage().startsWith(QStringLiteral("入力なし (94, 104) (")))
            << d->StatusBar1->currentMessage().toStdString();
        // The overview drag moves the viewport by the image distance dragged.
        TPaintBoxEx* o = d->PaintBoxEx3;
        const double s = d->overviewScale;
        const int x0 = d->overviewRect.left() + 50, y0 = d->overviewRect.top() + 40;
        press(o, QEvent::MouseButtonPress, x0, y0);
        moveMouse(o, x0 + 10, y0);
        press(o, QEvent::MouseButtonRelease, x0 + 10, y0);
        const int dx = static_cast<int>(60 / s) - static_cast<int>(50 / s);
        EXPECT_EQ(d->vpLeft, 64 + dx);
        EXPECT_EQ(d->vpTop, 64);
        moveMouse(o, x0 + 40, y0);
        EXPECT_EQ(d->vpLeft, 64 + dx);
    });
}

TEST_F(DefImg, NarrowRasterScrolledRightIsDrawnShiftedRight)
{
    def.imagePath = writeRaster(dir, "narrow.png", 100, 80);
    run(def, [](TFrm_DefImg* d) {
        TPaintBoxEx* v = d->PaintBoxEx1;
        const int w = v->width();
        moveMouse(v, w - 10, 100, Qt::ShiftModifier);
        EXPECT_EQ(d->vpLeft, 100 - w);
        const int y = 40 - d->vpTop; // the view may be taller than the raster as well
        QImage shot = v->grab().toImage();
        EXPECT_EQ(shot.pixel(w - 100, y), qRgb(0, 0, 0));
        EXPECT_EQ(shot.pixel(w - 101, y), qRgb(255, 255, 255));
    });
}

TEST_F(DefImg, FrameCornerPickTakesTheMousePoint)
{
    TImgDef got;
    run(def, [](TFrm_DefImg* d) {
        TPaintBoxEx* v = d->PaintBoxEx1;
        d->ED_IX2->setText(QStringLiteral("1000")); // typed: reaches the copy with the pick
        d->ED_IY2->setText(QStringLiteral("1900"));
        QTest::mouseClick(d->Button5, Qt::LeftButton);
        EXPECT_EQ(d->mode, 3);
        moveMouse(v, 30, 40);
        EXPECT_TRUE(d->StatusBar1->currentMessage().startsWith(QStringLiteral("枠左上指示 (30, 40)")));
        QTest::mouseClick(v, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300)); // the moved point counts
        EXPECT_EQ(d->mode, 0);
        EXPECT_EQ(d->ED_WSX->text(), QStringLiteral("30"));
        EXPECT_EQ(d->ED_WSY->text(), QStringLiteral("40"));
        EXPECT_EQ(d->work.frameX1, 30);
        EXPECT_EQ(d->L_ILen->text(), QStringLiteral("100.000"));
        EXPECT_EQ(d->L_IAng->text(), QStringLiteral("90.000"));
        // Mode 0: a click changes nothing.
        moveMouse(v, 60, 70);
        QTest::mouseClick(v, Qt::LeftButton);
        EXPECT_EQ(d->ED_WSX->text(), QStringLiteral("30"));
        QTest::mouseClick(d->Button3, Qt::LeftButton);
    });
    EXPECT_EQ(def.frameX1, 30);
    EXPECT_EQ(def.frameY1, 40);
    EXPECT_EQ(def.imgY2, 1900);
    // The mouse point carries over to the next dialog.
    run(def, [](TFrm_DefImg*) { EXPECT_EQ(imgDlgMousePoint, QPoint(60, 70)); });
}

TEST_F(DefImg, WindowOpensAtItsDesignSizeWithTheWholeResultBarInside)
{
    // Restored from maximised, the dialog is 1024 x 768; every result stays inside it.
    TFrm_DefImg d;
    d.show();
    EXPECT_EQ(d.size(), QSize(1024, 768));
    for (QLabel* l : {d.L_ILen, d.L_IAng, d.L_SLen, d.L_SAng, d.L_LenRat, d.L_RotAng}) {
        const QRect r(l->mapTo(&d, QPoint(0, 0)), l->size());
        EXPECT_TRUE(d.rect().contains(r)) << l->objectName().toStdString();
        EXPECT_GE(r.width(), l->fontMetrics().horizontalAdvance(QStringLiteral("-99999.999")));
    }
}

// Plane coordinates such as -123456.789 show whole in the face the fields are drawn in, as do
// the longest numbers of the other fields; the groups' controls stay apart and inside them.
TEST_F(DefImg, NumericFieldsShowTheirLongestNumbersWhole)
{
    TFrm_DefImg d;
    d.show();
    formtest::expectFieldsShowWhole(&d, {{"ED_SX1", "-123456.789"}, {"ED_SY1", "-123456.789"},
                                         {"ED_SX2", "-123456.789"}, {"ED_SY2", "-123456.789"},
                                         {"ED_IX1", "-12345"},      {"ED_IY1", "-12345"},
                                         {"ED_IX2", "-12345"},      {"ED_IY2", "-12345"},
                                         {"ED_WSX", "-12345"},      {"ED_WSY", "-12345"},
                                         {"ED_WEX", "-12345"},      {"ED_WEY", "-12345"},
                                         {"CB_DPI", "1200"},        {"CB_ZScale", "100000"}});
    if (const char* shots = std::getenv("NURIVO_SHOT_DIR")) {
        d.ED_SX1->setText(QStringLiteral("-45678.123"));
        d.ED_SY1->setText(QStringLiteral("-123456.789"));
        d.ED_SX2->setText(QStringLiteral("-45778.123"));
        d.ED_SY2->setText(QStringLiteral("-123356.789"));
        for (QLineEdit* e : {d.ED_SX1, d.ED_SY1, d.ED_SX2, d.ED_SY2})
            e->setCursorPosition(e->text().size()); // as after typing
        QTest::qWait(100);
        d.screen()->grabWindow(0).save(QString::fromLocal8Bit(shots) + QStringLiteral("/defimg.png"));
    }
    QWidget* column = d.findChild<QWidget*>(QStringLiteral("Panel1"));
    ASSERT_NE(column, nullptr);
    for (QGroupBox* g : column->findChildren<QGroupBox*>()) {
        EXPECT_TRUE(column->rect().contains(g->geometry())) << g->objectName().toStdString();
        const QList<QWidget*> parts = g->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (qsizetype i = 0; i < parts.size(); ++i) {
            EXPECT_TRUE(g->rect().contains(parts[i]->geometry())) << parts[i]->objectName().toStdString();
            for (qsizetype j = i + 1; j < parts.size(); ++j)
                EXPECT_FALSE(parts[i]->geometry().intersects(parts[j]->geometry()))
                    << g->objectName().toStdString() << ": " << parts[i]->objectName().toStdString() << " "
                    << parts[j]->objectName().toStdString();
        }
    }
}

TEST_F(DefImg, ViewsShowTheMarkersAndTheFrame)
{
    def.imgX1 = 100;
    def.imgY1 = 100;
    def.frameX1 = 20;
    def.frameY1 = 20;
    def.frameX2 = 400;
    def.frameY2 = 300;
    run(def, [](TFrm_DefImg* d) {
        QImage shot = d->PaintBoxEx1->grab().toImage();
        EXPECT_EQ(shot.pixel(100, 95), qRgb(255, 0, 0));   // point 1's cross, red
        EXPECT_EQ(shot.pixel(200, 20), qRgb(0, 128, 0));   // frame, green, 3 wide
        EXPECT_EQ(shot.pixel(200, 21), qRgb(0, 128, 0));
        QImage over = d->PaintBoxEx3->grab().toImage();
        const QRect r = d->overviewRect;
        EXPECT_EQ(over.pixel(r.left(), r.top() + 50), qRgb(255, 0, 0)); // the viewport over the border
        EXPECT_EQ(over.pixel(r.right(), r.bottom()), qRgb(128, 128, 128));
        moveMouse(d->PaintBoxEx1, 100, 100);
        QImage loupe = d->PaintBoxEx2->grab().toImage();
        EXPECT_EQ(loupe.pixel(10, 95), qRgb(255, 0, 0)); // cross hair
    });
}

// Numbers typed far beyond any raster saturate: the views (the loupe doubles a position's
// distance from the mouse point) draw without overflow, and "確定" hands over, and the Def
// file keeps, the saturated value rather than a wrapped one.
TEST_F(DefImg, TypedNumbersBeyondTheIntRangeSaturate)
{
    struct Case {
        QLineEdit* TFrm_DefImg::*field;
        int TImgDef::*stored;
        const char* typed;
        int expected;
    };
    const Case cases[] = {
        {&TFrm_DefImg::ED_IX1, &TImgDef::imgX1, "99999999999", kSatIntLimit},
        {&TFrm_DefImg::ED_IY2, &TImgDef::imgY2, "-99999999999", -kSatIntLimit},
        {&TFrm_DefImg::ED_WEX, &TImgDef::frameX2, "2147483648", kSatIntLimit},
        {&TFrm_DefImg::ED_WSY, &TImgDef::frameY1, "-2147483648", -kSatIntLimit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TImgDef edited = def;
        edited.imagePath = def.imagePath;
        const int result = run(edited, [&](TFrm_DefImg* d) {
            (d->*c.field)->setText(QString::fromLatin1(c.typed));
            d->CB_ZScale->setEditText(QStringLiteral("99999999999"));
            moveMouse(d->PaintBoxEx1, 100, 100);
            d->PaintBoxEx1->grab();
            d->PaintBoxEx2->grab();
            d->PaintBoxEx3->grab();
            QTest::mouseClick(d->Button3, Qt::LeftButton);
        });
        ASSERT_EQ(result, 2);
        EXPECT_EQ(edited.*c.stored, c.expected);
        EXPECT_EQ(edited.scale, kSatIntLimit);
        ASSERT_EQ(imgDefWrite(edited), 1);
        TImgDef reread;
        reread.imagePath = edited.imagePath;
        ASSERT_EQ(imgDefRead(reread), 1);
        EXPECT_EQ(reread.*c.stored, c.expected);
        EXPECT_EQ(reread.scale, kSatIntLimit);
    }
}

// Plane coordinates read as decimal numbers only: "nan", "inf" and hexadecimal are no number.
TEST_F(DefImg, PlaneCoordinatesAreDecimalOnly)
{
    struct Case {
        const char* typed;
        double expected;
    };
    const Case cases[] = {{"nan", 0.0}, {"inf", 0.0}, {"0x10", 0.0}, {" 12.5e1", 125.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        TImgDef edited = def;
        run(edited, [&](TFrm_DefImg* d) {
            d->ED_SX2->setText(QString::fromLatin1(c.typed));
            QTest::mouseClick(d->Button3, Qt::LeftButton);
        });
        EXPECT_EQ(edited.worldX2, c.expected);
    }
}

// A plane coordinate beyond the double range is no number: it reads as 0, and the Def file
// keeps it and the other coordinates when it is read again.
TEST_F(DefImg, PlaneCoordinateBeyondTheDoubleRangeReadsAsNoNumber)
{
    TImgDef edited = def;
    edited.imagePath = def.imagePath;
    const int result = run(edited, [&](TFrm_DefImg* d) {
        d->ED_SX1->setText(QStringLiteral("1e999"));
        d->ED_SY1->setText(QStringLiteral("3000.5"));
        d->ED_SX2->setText(QStringLiteral("-1e999"));
        d->ED_SY2->setText(QStringLiteral("3100.25"));
        QTest::mouseClick(d->Button3, Qt::LeftButton);
    });
    ASSERT_EQ(result, 2);
    EXPECT_EQ(edited.worldX1, 0.0);
    EXPECT_EQ(edited.worldY1, 3000.5);
    EXPECT_EQ(edited.worldX2, 0.0);
    EXPECT_EQ(edited.worldY2, 3100.25);
    ASSERT_EQ(imgDefWrite(edited), 1);
    TImgDef reread;
    reread.imagePath = edited.imagePath;
    ASSERT_EQ(imgDefRead(reread), 1);
    EXPECT_EQ(reread.worldX1, 0.0);
    EXPECT_EQ(reread.worldY1, 3000.5);
    EXPECT_EQ(reread.worldX2, 0.0);
    EXPECT_EQ(reread.worldY2, 3100.25);
    EXPECT_EQ(reread.imgX1, edited.imgX1);
    EXPECT_EQ(reread.imgY2, edited.imgY2);
}

} // namespace
