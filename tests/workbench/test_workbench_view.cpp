// The workbench's sheet view: scale and keys, the magnifier, the picture against a full
// Draw, black-and-white display, and a look at the sample sheet.
#include "wbfixture.h"

#include "platform/ui.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/paintboxex.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

using wbtest::polygon;
using wbtest::Sheet;

struct View : testing::Test {
    void SetUp() override { wbtest::resetWorkbench(); }
    void TearDown() override
    {
        wbDialogsReset();
        wb.drawing = nullptr;
    }
};

// The raster point at the centre of the view, as the scale change reckons it.
QPoint centreOf(const TFrm_KXInput& form)
{
    const int d = wb.viewDivisor;
    const QPoint hv = form.scrollPosition();
    const QSize box = form.scrollBoxSize();
    return {hv.x() * d + (box.width() * d) / 2, hv.y() * d + (box.height() * d) / 2};
}

void openShown(TFrm_KXInput& form, Sheet& sheet, QSize size = QSize(900, 700))
{
    form.openOn(&sheet.drawing);
    form.resize(size);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
}

TEST_F(View, KeysChangeScaleScrollAndToggle)
{
    Sheet sheet(1, 4000, 3000);
    sheet.load(0);
    TFrm_KXInput form;
    openShown(form, sheet);
    form.setScaleIndex(2);
    form.RG_ScaleClick();
    ASSERT_EQ(wb.viewDivisor, 4);
    EXPECT_EQ(form.PaintBoxEx1->size(), QSize(1000, 750));
    form.scrollTo(100, 80);
    const QPoint centre = centreOf(form);

    // "2": 1/2 with the same raster point at the centre; again: nothing changes.
    QTest::keyClick(&form, Qt::Key_2);
    EXPECT_EQ(wb.viewDivisor, 2);
    EXPECT_EQ(form.PaintBoxEx1->size(), QSize(2000, 1500));
    EXPECT_LE((centreOf(form) - centre).manhattanLength(), 2);
    const QPoint at = form.scrollPosition();
    QTest::keyClick(&form, Qt::Key_2);
    EXPECT_EQ(form.scrollPosition(), at);

    // Scrolling by 32: D right, S left, E up, X down; F4 as S and F9 as X; a key arriving at a
    // control and passed up to the form acts once.
    struct Case {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        QPoint step;
    } cases[] = {
        {Qt::Key_D, {}, {32, 0}},  {Qt::Key_S, {}, {-32, 0}}, {Qt::Key_E, {}, {0, -32}},
        {Qt::Key_X, {}, {0, 32}},  {Qt::Key_F4, {}, {-32, 0}}, {Qt::Key_F9, {}, {0, 32}},
        {Qt::Key_D, Qt::ShiftModifier, {32, 0}}, {Qt::Key_4, Qt::KeypadModifier, {32, 0}},
        {Qt::Key_5, Qt::KeypadModifier, {0, -32}},
    };
    for (const Case& c : cases) {
        const QPoint before = form.scrollPosition();
        QTest::keyClick(&form, c.key, c.mods);
        EXPECT_EQ(form.scrollPosition() - before, c.step) << c.key;
    }
    const QPoint before = form.scrollPosition();
    QTest::keyClick(form.CB_Move, Qt::Key_X);
    EXPECT_EQ(form.scrollPosition() - before, QPoint(0, 32));

    // B and keypad 2 toggle the background, N and the keypad point the names; C does nothing
    // while "端点認識" is disabled.
    QTest::keyClick(&form, Qt::Key_2, Qt::KeypadModifier);
    EXPECT_FALSE(form.CB_DrawBack->isChecked());
    QTest::keyClick(&form, Qt::Key_B);
    EXPECT_TRUE(form.CB_DrawBack->isChecked());
    QTest::keyClick(&form, Qt::Key_Period, Qt::KeypadModifier);
    EXPECT_FALSE(form.CB_DrawName->isChecked());
    QTest::keyClick(&form, Qt::Key_N, Qt::ControlModifier);
    EXPECT_TRUE(form.CB_DrawName->isChecked());
    QTest::keyClick(&form, Qt::Key_C);
    EXPECT_FALSE(form.CB_CheckPoint->isChecked());

    // M (and keypad minus) centre the selected figure's label point.
    wb.selRec = polygon("a", 0, 0, 10);
    wb.selRec.labelX = 2000;
    wb.selRec.labelY = 1600;
    QTest::keyClick(&form, Qt::Key_Minus, Qt::KeypadModifier);
    const QSize box = form.scrollBoxSize();
    EXPECT_EQ(form.scrollPosition(), QPoint(1000 - box.width() / 2, 800 - box.height() / 2));

    // "4": 1/8.
    QTest::keyClick(&form, Qt::Key_4);
    EXPECT_EQ(wb.viewDivisor, 8);
    EXPECT_EQ(form.PaintBoxEx1->size(), QSize(500, 375));
}

TEST_F(View, OnlyAFullRepaintWipesTheCursorMark)
{
    Sheet sheet(1, 2000, 1500);
    sheet.load(0);
    TFrm_KXInput form;
    openShown(form, sheet);
    form.setScaleIndex(0);
    form.RG_ScaleClick();
    QApplication::processEvents(); // the scale's own repaint first
    wb.xorMarkShown = 1;
    form.PaintBoxEx1->repaint(QRect(form.scrollPosition(), QSize(20, 20)));
    EXPECT_EQ(wb.xorMarkShown, 1);
    form.PaintBoxEx1->repaint(QRect(form.scrollPosition(), form.scrollBoxSize()));
    EXPECT_EQ(wb.xorMarkShown, 0);
    // A key scroll takes the mark away first.
    wb.xorMarkShown = 1;
    QTest::keyClick(&form, Qt::Key_X);
    EXPECT_EQ(wb.xorMarkShown, 0);
}

TEST_F(View, MagnifierShowsTheRasterTwiceWithCrossHairAndPointMark)
{
    Sheet sheet; // 400 x 300, black lines through x 200 and y 150
    sheet.load(0);
    TFrm_KXInput form;
    openShown(form, sheet);
    const int W = form.PaintBoxEx2->width();
    const int H = form.PaintBoxEx2->height();
    auto isColour = [](QRgb c, int r, int g, int b) {
        return qRed(c) == r && qGreen(c) == g && qBlue(c) == b;
    };

    wb.loupeCentre = wb.curPoint = {100, 100};
    QImage shot = form.PaintBoxEx2->grab().toImage();
    EXPECT_TRUE(isColour(shot.pixel(10, H / 2), 255, 0, 0));
    EXPECT_TRUE(isColour(shot.pixel(W / 2, 10), 255, 0, 0));
    EXPECT_TRUE(isColour(shot.pixel(20, 20), 255, 255, 255));
    // The blue square centred on the cross-hair: edges 6 px from its centre.
    const int px = W / 2, py = H / 2;
    for (QPoint p : {QPoint(px - 6, py - 3), QPoint(px + 6, py + 3), QPoint(px - 2, py - 6),
                     QPoint(px + 2, py + 6), QPoint(px - 4, py), QPoint(px, py + 4)})
        EXPECT_TRUE(isColour(shot.pixel(p), 0, 0, 255)) << p.x() << "," << p.y();
    EXPECT_FALSE(isColour(shot.pixel(px - 8, py - 8), 0, 0, 255));

    // Away from the centre the mark moves by two screen pixels per raster pixel.
    wb.curPoint = {110, 95};
    shot = form.PaintBoxEx2->grab().toImage();
    EXPECT_TRUE(isColour(shot.pixel(px + 20 - 6, py - 10), 0, 0, 255));
    EXPECT_TRUE(isColour(shot.pixel(px + 20, py - 10 + 6), 0, 0, 255));

    // On the horizontal line: dark beside the cross-hair; off the sheet: white.
    wb.loupeCentre = wb.curPoint = {100, 150};
    shot = form.PaintBoxEx2->grab().toImage();
    EXPECT_LT(qGray(shot.pixel(20, H / 2 + 1)), 64);
    EXPECT_GT(qGray(shot.pixel(20, H / 2 + 12)), 200);
    wb.loupeCentre = wb.curPoint = {-500, -500};
    shot = form.PaintBoxEx2->grab().toImage();
    EXPECT_TRUE(isColour(shot.pixel(20, 20), 255, 255, 255));
}

// The view's picture as a full Draw of the drawing gives it.
QImage fullDraw(TFrm_KXInput& form, KXDraw& drawing)
{
    const QSize size = form.PaintBoxEx1->size();
    QImage ref(size, QImage::Format_RGB32);
    ref.fill(Qt::white);
    QPainter p(&ref);
    Canvas canvas(p, 96);
    drawing.SetDrawParams(form.CB_DrawBack->isChecked(), 3, 0, form.paintIndex(),
                          form.CB_Touka->isChecked(), form.CB_DrawName->isChecked(),
                          form.CB_EdgeBlack->isChecked(), form.CB_ATSize->isChecked(), 1.0,
                          wb.viewDivisor, wb.viewDivisor, 1.0);
    drawing.Draw(&canvas, size.width(), size.height(),
                 drawing.imgDef->dpi * 0.03937007874015748 / wb.viewDivisor);
    return ref;
}

// Pixels of the visible part of the view that differ from a full Draw.
int differing(TFrm_KXInput& form, KXDraw& drawing)
{
    const QRect visible = QRect(form.scrollPosition(), form.scrollBoxSize())
                              .intersected(form.PaintBoxEx1->rect());
    form.PaintBoxEx1->repaint(visible);
    const QImage shown = form.PaintBoxEx1->grab(visible).toImage().convertToFormat(QImage::Format_RGB32);
    const QImage ref = fullDraw(form, drawing).copy(visible);
    int diff = 0;
    for (int y = 0; y < ref.height() && y < shown.height(); ++y)
        for (int x = 0; x < ref.width() && x < shown.width(); ++x)
            if ((shown.pixel(x, y) & 0xFFFFFF) != (ref.pixel(x, y) & 0xFFFFFF))
                ++diff;
    return diff;
}

// Turns of the event loop, in which the view's picture is rendered ahead of what it shows.
void idle()
{
    for (int i = 0; i < 400; ++i)
        QCoreApplication::processEvents();
}

TEST_F(View, PictureMatchesAFullDrawAfterScrollsEditsAndOptions)
{
    Sheet sheet(1, 2400, 1800, true);
    sheet.load(0);
    for (int i = 0; i < 12; ++i) {
        TPRec r = polygon("f" + std::to_string(i), 100 + 180 * i, 120 + 130 * i, 160);
        r.layerIndex = i % 3;
        sheet.store().PD_AddPoly(0, r);
    }
    TPRec text = polygon("文字", 900, 500, 0, 4);
    text.nPts = 1;
    text.pts.resize(1);
    sheet.store().PD_AddPoly(0, text);
    TFrm_KXInput form;
    openShown(form, sheet, QSize(700, 560));
    testutil::MessageRecorder quiet; // the label search of moved squares reports to stderr

    for (int item : {0, 1, 2, 3}) {
        SCOPED_TRACE(item);
        form.setScaleIndex(item);
        form.RG_ScaleClick();
        form.scrollTo(0, 0);
        EXPECT_EQ(differing(form, sheet.drawing), 0);
        // The scrolls after idle time show what was rendered ahead of the view.
        for (QPoint s : {QPoint(100, 0), QPoint(100, 100), QPoint(237, 181), QPoint(300, 400)}) {
            idle();
            form.scrollTo(s.x(), s.y());
            EXPECT_EQ(differing(form, sheet.drawing), 0) << s.x() << "," << s.y();
        }
        form.scrollTo(30, 20);

        // Added, moved, deleted: the input reports each through figureChanged.
        TPRec added = polygon("new", 300 + item * 10, 250, 300);
        const int index = sheet.store().PD_AddPoly(0, added);
        form.fillGrid();
        form.figureChanged(0, nullptr, sheet.store().PD_GetPolyPtr(index));
        EXPECT_EQ(differing(form, sheet.drawing), 0);
        const TPRec before = sheet.store().PD_GetPoly(index);
        TPRec moved = before;
        for (TPoint& p : moved.pts)
            p.x += 120;
        sheet.store().PD_ChangePoly(index, moved);
        form.figureChanged(0, &before, sheet.store().PD_GetPolyPtr(index));
        EXPECT_EQ(differing(form, sheet.drawing), 0);
        form.setGridRow(index + 1);
        form.Btn_KX2Del->click();
        EXPECT_EQ(differing(form, sheet.drawing), 0);

        form.CB_Touka->click();
        EXPECT_EQ(differing(form, sheet.drawing), 0);
        form.CB_Touka->click();
        form.findChild<QAbstractButton*>("RG_Paint2")->click();
        EXPECT_EQ(differing(form, sheet.drawing), 0);
        form.findChild<QAbstractButton*>("RG_Paint1")->click();
    }
}

TEST_F(View, BlackAndWhiteAndBackToColour)
{
    Sheet sheet(1, 400, 300, true);
    sheet.load(0);
    TFrm_KXInput form;
    openShown(form, sheet);
    ASSERT_FALSE(form.Btn_ShowBW->isHidden());
    form.Btn_ShowBW->click();
    EXPECT_EQ(form.Btn_ShowBW->text(), QStringLiteral("カラー表示"));
    EXPECT_TRUE(sheet.drawing.rasterBmp->isOneBit());
    EXPECT_TRUE(sheet.drawing.loupeBmp->isOneBit());
    // The reductions are those of the one-bit raster, as a one-bit sheet has them.
    for (auto [b, div] : {std::pair{sheet.drawing.halfBmp, 2}, std::pair{sheet.drawing.quarterBmp, 4}}) {
        Bitmap want;
        ASSERT_EQ(imgResizeRefine1Bit(400 / div, 300 / div, *sheet.drawing.rasterBmp, want), 1);
        EXPECT_TRUE(b->image() == want.image()) << div;
    }
    EXPECT_EQ(sheet.drawing.halfBmp->width(), 200);

    form.Btn_ShowBW->click();
    EXPECT_EQ(form.Btn_ShowBW->text(), QStringLiteral("白黒表示"));
    EXPECT_FALSE(sheet.drawing.rasterBmp->isOneBit());
    EXPECT_FALSE(sheet.drawing.halfBmp->isOneBit());
    EXPECT_EQ(sheet.drawing.halfBmp->width(), 200);
    EXPECT_EQ(sheet.drawing.quarterBmp->width(), 100);
    EXPECT_EQ(sheet.drawing.loupeBmp->pixelFormat(), sheet.drawing.rasterBmp->pixelFormat());

    // Too small to quarter: one message naming that reduction; the half is made.
    Sheet tiny(1, 3, 2, true);
    tiny.load(0);
    TFrm_KXInput small;
    openShown(small, tiny);
    small.Btn_ShowBW->click();
    testutil::MessageRecorder msgs;
    small.Btn_ShowBW->click();
    ASSERT_EQ(msgs.messages.size(), 1u);
    EXPECT_EQ(msgs.messages[0].rfind("1/4", 0), 0u) << msgs.messages[0];
    EXPECT_EQ(tiny.drawing.halfBmp->width(), 1);
    EXPECT_FALSE(tiny.drawing.halfBmp->isOneBit());
}

// A colour copy of the sample sheet with a known line drawn across it, in black and white:
// along the line the view has a dark pixel at every column, at each of the four scales.
TEST_F(View, BlackAndWhiteKeepsLinesWholeAtEveryScale)
{
    const std::string sample = std::string(NURIVO_SOURCE_DIR) + "/samples/sample-sheet.tif";
    Bitmap mono;
    if (!imgLoadToBitmap(sample, mono))
        GTEST_SKIP() << "no sample sheet";
    const QColor ink(40, 60, 150), paper(255, 248, 225);
    QImage colour = mono.image().convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < colour.height(); ++y) {
        QRgb* p = reinterpret_cast<QRgb*>(colour.scanLine(y));
        for (int x = 0; x < colour.width(); ++x)
            p[x] = qGray(p[x]) < 128 ? ink.rgb() : paper.rgb();
    }
    const QPointF from(40, 60), to(2360, 1000); // a three-pixel line, as the sheet's own
    {
        QPainter p(&colour);
        p.setPen(QPen(ink, 3));
        p.drawLine(from, to);
    }
    Sheet sheet(1, 400, 300, true);
    const std::string path = sheet.dir.file("colour.png");
    ASSERT_TRUE(colour.save(QString::fromStdString(path)));
    sheet.drawing.imgDef->imagePath = path;
    sheet.load(0);
    TFrm_KXInput form;
    openShown(form, sheet);
    form.Btn_ShowBW->click();
    ASSERT_EQ(form.Btn_ShowBW->text(), QStringLiteral("カラー表示"));

    const struct {
        Qt::Key key;
        int divisor;
    } scales[] = {{Qt::Key_1, 1}, {Qt::Key_2, 2}, {Qt::Key_3, 4}, {Qt::Key_4, 8}};
    for (const auto& s : scales) {
        QTest::keyClick(&form, s.key);
        const QImage view = form.PaintBoxEx1->grab().toImage();
        if (const char* shots = std::getenv("NURIVO_SHOT_DIR"))
            view.save(QString::fromLocal8Bit(shots) + QStringLiteral("/bw-%1.png").arg(s.divisor));
        ASSERT_EQ(view.width(), colour.width() / s.divisor);
        std::vector<int> gaps; // view columns along the line without a dark pixel beside it
        for (int vx = int(from.x()) / s.divisor + 1; vx < int(to.x()) / s.divisor - 1; ++vx) {
            const double x = (vx + 0.5) * s.divisor;
            const double y = from.y() + (x - from.x()) * (to.y() - from.y()) / (to.x() - from.x());
            const int vy = int(y / s.divisor);
            int darkest = 255;
            for (int dy = -1; dy <= 1; ++dy)
                if (vy + dy >= 0 && vy + dy < view.height())
                    darkest = std::min(darkest, qGray(view.pixel(vx, vy + dy)));
            if (darkest >= 160)
                gaps.push_back(vx);
        }
        EXPECT_TRUE(gaps.empty()) << "1/" << s.divisor << ": " << gaps.size() << " gaps, the first at view column "
                                  << gaps.front();
    }
}

// The sample sheet with figures, as an operator sees it at 1/8 and 1/2. With
// NURIVO_SHOT_DIR set (under a real display) the window is saved there.
TEST_F(View, SampleSheetWithFigures)
{
    const std::string sample = std::string(NURIVO_SOURCE_DIR) + "/samples/sample-sheet.tif";
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "no sample sheet";
    Sheet sheet;
    sheet.drawing.imgDef->imagePath = sample;
    sheet.drawing.imgDef->dpi = 300;
    TLayer& layers = *layTblGet(0)->layer;
    layers.layerSetDefaults();
    layers.count = 6;
    sheet.load(0);
    const char* names[] = {"101", "102-3", "道路", "水路", "15", "7"};
    for (int i = 0; i < 6; ++i) {
        TPRec r = polygon(names[i], 300 + 310 * i, 400 + 170 * (i % 3), 260);
        r.layerIndex = i;
        r.flags = i % 2; // every other one filled
        sheet.store().PD_AddPoly(0, r);
    }
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.setWindowState(Qt::WindowMaximized);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::qWait(50);
    const char* dir = std::getenv("NURIVO_SHOT_DIR");
    auto save = [&](const char* name) {
        QApplication::processEvents();
        if (dir != nullptr)
            form.grab().save(QString::fromLocal8Bit(dir) + "/" + name);
    };
    save("workbench-8.png");
    EXPECT_EQ(form.PaintBoxEx1->size(), QSize(300, 225));
    // The line work shows in the view.
    const QImage eighth = form.PaintBoxEx1->grab().toImage();
    int dark = 0;
    for (int y = 0; y < eighth.height(); ++y)
        for (int x = 0; x < eighth.width(); ++x)
            dark += qGray(eighth.pixel(x, y)) < 128;
    EXPECT_GT(dark, 100);
    form.setGridRow(2);
    form.SG_KxClick();
    QTest::keyClick(&form, Qt::Key_2);
    EXPECT_EQ(form.PaintBoxEx1->size(), QSize(1200, 900));
    // Presses on the sheet view go to the input: three vertices of a polygon in progress.
    const QPoint at = form.scrollPosition();
    for (QPoint p : {QPoint(120, 300), QPoint(260, 280), QPoint(300, 420)})
        QTest::mouseClick(form.PaintBoxEx1, Qt::LeftButton, {}, at + p);
    QTest::mouseMove(form.PaintBoxEx1, at + QPoint(180, 440));
    EXPECT_EQ(wb.inputRec.nPts, 3);
    save("workbench-2.png");
}

} // namespace
