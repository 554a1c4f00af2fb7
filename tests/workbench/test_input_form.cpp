// Figure input through the workbench form: a rubber band with its snap mark over the sheet
// view, and the action menu of a picked figure. With NURIVO_SHOT_DIR set (under Xvfb), the
// screen is saved at both steps for a look.
#include "wbfixture.h"

#include "model/kxtbl.h"
#include "render/paintboxex.h"
#include "workbench/input.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using wbtest::polygon;
using wbtest::Sheet;

struct InputForm : testing::Test {
    void SetUp() override { wbtest::resetWorkbench(); }
    void TearDown() override
    {
        wbDialogsReset();
        wb.drawing = nullptr;
    }
};

void saveScreen(const char* name)
{
    const char* dir = std::getenv("NURIVO_SHOT_DIR");
    if (dir == nullptr)
        return;
    QTest::qWait(100);
    QApplication::processEvents();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        screen->grabWindow(0).save(QString::fromLocal8Bit(dir) + "/" + name);
}

QAction* actionNamed(QMenu* menu, const QString& text)
{
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

TEST_F(InputForm, RubberBandWithItsSnapMarkAndTheActionMenu)
{
    Sheet sheet(1, 1600, 1000, true);
    sheet.load(0);
    sheet.store().PD_AddPoly(0, polygon("Lot-1", 200, 200, 300));
    sheet.store().PD_AddPoly(0, polygon("Lot-2", 700, 250, 200));
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.resize(1400, 900);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(&form, Qt::Key_1); // 1/1
    ASSERT_EQ(wb.viewDivisor, 1);
    form.scrollTo(0, 0);
    cfgSetInt(kxVtxVal, 5);
    form.CB_CheckPoint->setChecked(true);
    QWidget* box = form.PaintBoxEx1;

    // Two vertices of Lot-1 taken by snapping, and the mouse near a vertex of Lot-2.
    QTest::mouseMove(box, QPoint(204, 197));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(204, 197));
    QTest::mouseMove(box, QPoint(496, 203));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(496, 203));
    QTest::mouseMove(box, QPoint(705, 446));
    ASSERT_EQ(wb.inputRec.nPts, 2);
    EXPECT_EQ(wb.inputRec.pts[0], (TPoint{200, 200}));
    EXPECT_EQ(wb.inputRec.pts[1], (TPoint{500, 200}));
    EXPECT_EQ(wb.curPoint, (TPoint{700, 450}));
    QApplication::processEvents();
    // The rubber band from the last point to the snapped one is inverted over the sheet.
    const QImage view = box->grab().toImage();
    const QRgb sheetColour = qRgb(200, 230, 255);
    auto invertedNear = [&](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -2; dx <= 2; ++dx)
                if (view.pixel(x + dx, y + dy) == qRgb(55, 25, 0))
                    return true;
        return false;
    };
    EXPECT_TRUE(invertedNear(600, 325)) << "the rubber band, inverted";
    EXPECT_TRUE(invertedNear(696, 446)) << "the snap mark";
    EXPECT_EQ(view.pixel(650, 350), sheetColour) << "away from the feedback";
    saveScreen("input-rubber-band.png");

    // "取消" through the input menu, then a right click on a vertex of Lot-2: one hit, so the
    // action menu opens at once, without "頂点移動" hidden (a polygon's vertex).
    QTest::mouseClick(box, Qt::RightButton, {}, QPoint(705, 446));
    ASSERT_TRUE(form.PM_PicRB->isVisible());
    QAction* cancel = actionNamed(form.PM_PicRB, QString::fromUtf8("取消"));
    ASSERT_NE(cancel, nullptr);
    form.PM_PicRB->hide();
    cancel->trigger();
    EXPECT_EQ(wb.inputRec.nPts, 0);
    QTest::mouseClick(box, Qt::RightButton, {}, QPoint(902, 252));
    EXPECT_EQ(wb.pickIndex, 0);
    ASSERT_TRUE(form.PM_PEditRB2->isVisible());
    QAction* vertexMove = actionNamed(form.PM_PEditRB2, QString::fromUtf8("頂点移動"));
    ASSERT_NE(vertexMove, nullptr);
    EXPECT_TRUE(vertexMove->isVisible());
    saveScreen("input-action-menu.png");

    // "頂点移動", then the vertex goes where the next press finds the mouse.
    form.PM_PEditRB2->hide();
    vertexMove->trigger();
    EXPECT_EQ(wb.editMode, 1);
    form.CB_CheckPoint->setChecked(false);
    QTest::mouseMove(box, QPoint(950, 220));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(950, 220));
    EXPECT_EQ(sheet.store().recs[1].pts[1], (TPoint{950, 220}));
}

// A press on the sheet counts as right whenever the right button is among those held: with the
// right button down a left press opens the input menu, or with no points the pick.
TEST_F(InputForm, APressWithTheRightButtonHeldIsARightClick)
{
    Sheet sheet(1, 800, 600, true);
    sheet.load(0);
    sheet.store().PD_AddPoly(0, polygon("Lot-1", 200, 200, 100));
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.resize(1000, 800);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(&form, Qt::Key_1);
    ASSERT_EQ(wb.viewDivisor, 1);
    form.scrollTo(0, 0);
    cfgSetInt(kxVtxVal, 5);
    QWidget* box = form.PaintBoxEx1;
    auto press = [box](Qt::MouseButton button, Qt::MouseButtons held, QPoint at) {
        QMouseEvent e(QEvent::MouseButtonPress, QPointF(at), box->mapToGlobal(QPointF(at)), button,
                      held, Qt::NoModifier);
        QApplication::sendEvent(box, &e);
    };

    press(Qt::LeftButton, Qt::LeftButton, QPoint(50, 50));
    ASSERT_EQ(wb.inputRec.nPts, 1);
    struct Case {
        Qt::MouseButton button;
        Qt::MouseButtons held;
    } cases[] = {{Qt::LeftButton, Qt::LeftButton | Qt::RightButton},
                 {Qt::RightButton, Qt::LeftButton | Qt::RightButton},
                 {Qt::MiddleButton, Qt::MiddleButton | Qt::RightButton}};
    for (const Case& c : cases) {
        press(c.button, c.held, QPoint(90, 50));
        EXPECT_TRUE(form.PM_PicRB->isVisible()) << c.button;
        EXPECT_EQ(wb.inputRec.nPts, 1) << c.button << ": no point added";
        form.PM_PicRB->hide();
    }
    form.input().PM_PicRB_CancelClick();

    press(Qt::LeftButton, Qt::LeftButton | Qt::RightButton, QPoint(300, 300));
    EXPECT_EQ(wb.inputRec.nPts, 0);
    EXPECT_EQ(wb.pickIndex, 0) << "the figure's vertex is picked";
    EXPECT_TRUE(form.PM_PEditRB2->isVisible());
    form.PM_PEditRB2->hide();
}

// More hits than the menu's ten items: one item per hit, in the pick table's order, up to its 20;
// a later pick with fewer hits hides the items it does not need.
TEST_F(InputForm, EveryHitOfAPickHasItsOwnMenuItem)
{
    Sheet sheet(1, 600, 400, true);
    sheet.load(0);
    for (int i = 0; i < 25; ++i)
        sheet.store().PD_AddPoly(0, polygon("Lot-" + std::to_string(i + 1), 100, 100, 40 + 4 * i));
    sheet.store().PD_AddPoly(0, polygon("Far-1", 400, 300, 50));
    sheet.store().PD_AddPoly(0, polygon("Far-2", 400, 300, 60));
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.resize(1000, 800);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::keyClick(&form, Qt::Key_1); // 1/1
    form.scrollTo(0, 0);
    cfgSetInt(kxVtxVal, 5);
    QWidget* box = form.PaintBoxEx1;
    auto hitItems = [&] {
        QStringList shown;
        for (QAction* a : form.PM_PEditRB->actions())
            if (a->isVisible() && a->property("Tag").toInt() >= 0)
                shown << a->text();
        return shown;
    };

    QTest::mouseClick(box, Qt::RightButton, {}, QPoint(101, 101));
    ASSERT_TRUE(form.PM_PEditRB->isVisible());
    const QStringList shown = hitItems();
    ASSERT_EQ(shown.size(), 20);
    saveScreen("input-hit-menu.png");
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(shown[i], QString::fromStdString(PD_GetPickHit(i).text)) << i;
    EXPECT_EQ(form.PM_PEditRB->actions().back()->text(), QString::fromUtf8("取消"));
    QAction* last = nullptr;
    for (QAction* a : form.PM_PEditRB->actions())
        if (a->isVisible() && a->property("Tag").toInt() == 19)
            last = a;
    ASSERT_NE(last, nullptr);
    form.PM_PEditRB->hide();
    last->trigger();
    EXPECT_EQ(wb.pickIndex, 19);
    EXPECT_TRUE(form.PM_PEditRB2->isVisible());
    form.PM_PEditRB2->hide();

    QTest::mouseClick(box, Qt::RightButton, {}, QPoint(401, 301));
    ASSERT_TRUE(form.PM_PEditRB->isVisible());
    EXPECT_EQ(hitItems(), (QStringList{QStringLiteral("Far-1"), QStringLiteral("Far-2")}));
    form.PM_PEditRB->hide();
}

} // namespace
