// The print form: settings in and out, paper and zoom, the preview's numbers, the range
// frame, and what the dialogs and the drawing object get.
#include "platform/satint.h"
#include "printtest.h"
#include "testutil.h"

#include "render/canvas.h"
#include "render/paintboxex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include <cmath>
#include <filesystem>

namespace {

using namespace printtest;

struct PrintForm : testing::Test {
    Drawing drawing;
    void SetUp() override
    {
        ui::useScripted();
        defaultSettings();
        aplSetKind(akColouring);
        printSetSource(&drawing.kx, 200, 1000);
    }
    void TearDown() override { aplSetKind(akColouring); }
};

TEST_F(PrintForm, OpensWithStoredSettingsAndWritesThemBackOnExit)
{
    cfgSetInt(kxSCALE, 2500);
    cfgSetInt(kxPOffsX, 7);
    cfgSetInt(kxHRSize, 2);
    cfgSetInt(kxHRPos, 3);
    cfgSetInt(kxBB_Scale, 1000);
    cfgSetInt(kxBB_CX, 321);
    cfgSetInt(kxBB_CY, 654);
    EXPECT_TRUE(withForm(4, [](TFrm_Print& f) {
        EXPECT_EQ(f.windowTitle(), QStringLiteral("印刷"));
        EXPECT_EQ(f.L_Img->text(), QStringLiteral("200DPI 1/1000"));
        EXPECT_TRUE(f.GroupBox3->isHidden());
        for (QGroupBox* g : {f.GroupBox1, f.GroupBox2, f.GroupBox4})
            EXPECT_FALSE(g->isHidden());
        // A3 landscape at zoom 1/4 on a 96 dpi screen.
        ASSERT_EQ(f.PaintBoxEx1->pixelsPerInch(), 96);
        EXPECT_EQ(f.PaintBoxEx1->width(), 396);
        EXPECT_EQ(f.PaintBoxEx1->height(), 280);
        EXPECT_EQ(f.CB_Scale->currentText(), QStringLiteral("2500"));
        EXPECT_EQ(f.CB_Scale->count(), 5);
        EXPECT_EQ(f.CB_Paper->count(), 12);
        EXPECT_EQ(f.ED_POffsX->text(), QStringLiteral("7"));
        EXPECT_EQ(f.CB_HR_Size->currentIndex(), 2);
        EXPECT_TRUE(f.RadioButton4->isChecked());
        EXPECT_TRUE(f.CHB_Target->isChecked());
        EXPECT_FALSE(f.ED_PMmX->isEnabled());
        f.CB_Scale->setCurrentText(QStringLiteral("  750abc"));
        f.ED_HOffsY->setText(QStringLiteral("-3"));
        QTest::mouseClick(f.Btn_Exit, Qt::LeftButton);
    }));
    EXPECT_EQ(cfgGetInt(kxPaperSize), 4);
    EXPECT_EQ(cfgGetInt(kxSCALE), 750);
    EXPECT_EQ(cfgGetInt(kxPaperX), 420);
    EXPECT_EQ(cfgGetInt(kxPaperY), 297);
    EXPECT_EQ(cfgGetInt(kxHRSize), 2);
    EXPECT_EQ(cfgGetInt(kxHRPos), 3);
    EXPECT_EQ(cfgGetInt(kxPOffsX), 7);
    EXPECT_EQ(cfgGetInt(kxHROffsY), -3);
    EXPECT_EQ(cfgGetInt(kxBB_Paper), 2);
    EXPECT_EQ(cfgGetInt(kxBB_Scale), 1000);
    EXPECT_EQ(cfgGetInt(kxBB_CX), 321);
    EXPECT_EQ(cfgGetInt(kxBB_CY), 654);
}

TEST_F(PrintForm, PaperChoicesAndTheFrameCloseStoreWhatExitDoes)
{
    struct Case {
        int choose;       // CB_Paper index chosen
        int paperX, paperY; // stored on close
    };
    // A0 portrait; the empty item keeps the previous size (A3 landscape) and stores 11.
    for (Case c : {Case{9, 840, 1188}, Case{11, 420, 297}, Case{7, 594, 840}}) {
        SCOPED_TRACE(c.choose);
        defaultSettings();
        withForm(4, [&](TFrm_Print& f) {
            f.CB_Paper->setCurrentIndex(c.choose);
            EXPECT_EQ(f.ED_PMmX->text().toInt(), c.paperX);
            EXPECT_EQ(f.ED_PMmY->text().toInt(), c.paperY);
            f.close(); // through the frame
        });
        EXPECT_EQ(cfgGetInt(kxPaperSize), c.choose);
        EXPECT_EQ(cfgGetInt(kxPaperX), c.paperX);
        EXPECT_EQ(cfgGetInt(kxPaperY), c.paperY);
    }
}

TEST_F(PrintForm, AStoredFreeSizeSurvivesAndTypedSizesWaitForRedisplay)
{
    cfgSetInt(kxPaperSize, 0);
    cfgSetInt(kxPaperX, 500);
    cfgSetInt(kxPaperY, 300);
    withForm(0, [](TFrm_Print& f) {
        EXPECT_TRUE(f.ED_PMmX->isEnabled());
        EXPECT_EQ(f.ED_PMmX->text(), QStringLiteral("500"));
        EXPECT_EQ(f.PaintBoxEx1->width(), static_cast<int>(static_cast<int>(500 * 96 / 25.4) * 0.25));
        f.ED_PMmX->setText(QStringLiteral("200"));
        EXPECT_EQ(f.paperWidthMm, 500); // nothing until "再表示"
        QTest::mouseClick(f.Button4, Qt::LeftButton);
        EXPECT_EQ(f.paperWidthMm, 200);
        EXPECT_EQ(f.PaintBoxEx1->width(), static_cast<int>(static_cast<int>(200 * 96 / 25.4) * 0.25));
        // Text without a number is 0: an empty preview, no failure.
        f.ED_PMmY->setText(QStringLiteral("abc"));
        QTest::mouseClick(f.Button4, Qt::LeftButton);
        EXPECT_EQ(f.PaintBoxEx1->height(), 0);
        f.PaintBoxEx1->grab();
        f.ED_PMmY->setText(QStringLiteral("300"));
        QTest::mouseClick(f.Button4, Qt::LeftButton);
    });
    EXPECT_EQ(cfgGetInt(kxPaperSize), 0);
    EXPECT_EQ(cfgGetInt(kxPaperX), 200);
    EXPECT_EQ(cfgGetInt(kxPaperY), 300);
}

TEST_F(PrintForm, ZoomRadiosScaleThePreview)
{
    withForm(1, [](TFrm_Print& f) {
        const int dotsW = static_cast<int>(210 * 96 / 25.4);
        for (auto [radio, zoom] : {std::pair{f.RadioButton1, 1.0}, {f.RadioButton2, 0.75},
                                   {f.RadioButton3, 0.5}, {f.RadioButton4, 0.25}}) {
            QTest::mouseClick(radio, Qt::LeftButton);
            EXPECT_EQ(f.previewZoom, zoom);
            EXPECT_EQ(f.PaintBoxEx1->width(), static_cast<int>(dotsW * zoom));
        }
    });
}

// A scale typed and confirmed with Enter is the box's text; the lists keep their five scales.
TEST_F(PrintForm, ATypedScaleLeavesTheScaleListsAsTheyAre)
{
    withForm(4, [](TFrm_Print& f) {
        for (QComboBox* box : {f.CB_Scale, f.CB_BB_Scale}) {
            box->setFocus();
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), QStringLiteral("750"));
            QTest::keyClick(box->lineEdit(), Qt::Key_Return);
            EXPECT_EQ(box->currentText(), QStringLiteral("750")) << box->objectName().toStdString();
            ASSERT_EQ(box->count(), 5) << box->objectName().toStdString();
            for (int i = 0; i < 5; ++i)
                EXPECT_EQ(box->itemText(i), QStringList({"200", "500", "1000", "2500", "5000"})[i]);
        }
    });
    EXPECT_EQ(cfgGetInt(kxSCALE), 750);
    EXPECT_EQ(cfgGetInt(kxBB_Scale), 750);
}

// A typed scale stands as typed, also where it begins like one of the list ("250", "2500"),
// taken by Tab, Enter or "再表示".
TEST_F(PrintForm, ATypedScaleIsNotCompletedFromTheList)
{
    withForm(4, [&](TFrm_Print& f) {
        f.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f)); // Tab moves the focus
        struct Case {
            QComboBox* box;
            const char* typed;
            Qt::Key key; // Qt::Key_unknown: "再表示"
        };
        for (Case c : {Case{f.CB_Scale, "250", Qt::Key_Tab}, {f.CB_BB_Scale, "250", Qt::Key_Return},
                       {f.CB_BB_Scale, "20", Qt::Key_unknown}, {f.CB_Scale, "100", Qt::Key_unknown}}) {
            SCOPED_TRACE(c.typed);
            c.box->setFocus();
            c.box->lineEdit()->selectAll();
            QTest::keyClicks(c.box->lineEdit(), QString::fromLatin1(c.typed));
            if (c.key == Qt::Key_unknown)
                QTest::mouseClick(f.Button4, Qt::LeftButton);
            else
                QTest::keyClick(c.box->lineEdit(), c.key);
            EXPECT_EQ(c.box->currentText(), QString::fromLatin1(c.typed));
        }
        f.PaintBoxEx1->grab();
        EXPECT_DOUBLE_EQ(drawing.kx.printRatio, 0.1); // 1:100 of a 1:1000 raster
    });
    EXPECT_EQ(cfgGetInt(kxSCALE), 100);
    EXPECT_EQ(cfgGetInt(kxBB_Scale), 20);
}

// A scale that is no number, not positive or out of all reason is refused with a message
// wherever it is taken, and the previous one stays, in the box, on the page and in the settings.
TEST_F(PrintForm, AScaleThatIsNoneIsRefusedAndThePreviousKept)
{
    testutil::TempDir dir;
    const std::string pdf = dir.file("page.pdf");
    printSetTestOutput(QPageSize(QPageSize::A4), QPageLayout::Portrait, pdf);
    withForm(4, [&](TFrm_Print& f) {
        f.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f)); // Tab moves the focus
        for (QComboBox* box : {f.CB_Scale, f.CB_BB_Scale}) {
            SCOPED_TRACE(box->objectName().toStdString());
            box->setCurrentText(QStringLiteral("750"));
            QTest::mouseClick(f.Button4, Qt::LeftButton);
            for (const char* bad : {"abc", "", "0", "-5", "0.5", "1e300", "2000000", "nan", "inf"}) {
                SCOPED_TRACE(bad);
                ui::clearRecorded();
                box->setFocus();
                box->lineEdit()->selectAll();
                QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
                QTest::keyClicks(box->lineEdit(), QString::fromLatin1(bad));
                QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
                EXPECT_EQ(box->currentText(), QStringLiteral("750"));
                ASSERT_EQ(ui::recorded().size(), 1u);
                EXPECT_EQ(ui::recorded()[0].kind, "message");
                EXPECT_EQ(ui::recorded()[0].text, std::string("縮尺「") + bad +
                                                      "」は使えません。1 から 1000000 までの数値を入力してください。");
            }
        }
        f.PaintBoxEx1->grab();
        EXPECT_DOUBLE_EQ(drawing.kx.printRatio, 0.75);
        // The preview repainted halfway through the typing takes no scale: "1" of "1e9" does
        // not become the one that goes back.
        for (QComboBox* box : {f.CB_Scale, f.CB_BB_Scale}) {
            SCOPED_TRACE(box->objectName().toStdString());
            box->setFocus();
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), QStringLiteral("1"));
            f.PaintBoxEx1->grab();
            QTest::keyClicks(box->lineEdit(), QStringLiteral("e9"));
            QTest::keyClick(box->lineEdit(), Qt::Key_Tab);
            EXPECT_EQ(box->currentText(), QStringLiteral("750"));
        }
        // Refused by a print: no dialog, no page.
        for (auto [box, button] : {std::pair{f.CB_Scale, f.Btn_Print}, {f.CB_BB_Scale, f.Btn_BBPrint}}) {
            ui::clearRecorded();
            box->setCurrentText(QStringLiteral("1e300"));
            ui::scriptAnswer(ui::Answer::Yes);
            QTest::mouseClick(button, Qt::LeftButton);
            EXPECT_FALSE(std::filesystem::exists(pdf));
            ASSERT_FALSE(ui::recorded().empty());
            EXPECT_EQ(ui::recorded().back().kind, "message");
            EXPECT_EQ(box->currentText(), QStringLiteral("750"));
            ui::clearRecorded();
            QTest::mouseClick(f.Btn_DefPrint, Qt::LeftButton); // takes the queued answer
        }
        // And by the close.
        f.CB_Scale->setCurrentText(QStringLiteral("-1"));
        f.CB_BB_Scale->setCurrentText(QStringLiteral("0"));
        ui::clearRecorded();
        f.close();
        EXPECT_EQ(ui::recorded().size(), 2u);
    });
    EXPECT_EQ(cfgGetInt(kxSCALE), 750);
    EXPECT_EQ(cfgGetInt(kxBB_Scale), 750);
}

TEST_F(PrintForm, ScaleBarChoiceByApplicationKindAndStoredPartialPaper)
{
    cfgSetInt(kxHRSize, 0);
    cfgSetInt(kxBB_Paper, 7); // no such paper
    aplSetKind(akQuorelR);
    withForm(4, [](TFrm_Print& f) {
        EXPECT_EQ(f.CB_HR_Size->currentIndex(), 1);
        EXPECT_EQ(f.CB_BB_Paper->currentIndex(), 2);
        f.PaintBoxEx1->grab();
    });
    EXPECT_EQ(cfgGetInt(kxHRSize), 1);
    EXPECT_EQ(cfgGetInt(kxBB_Paper), 2);
    // Kind 5 hands the print scale to the scale bar.
    EXPECT_EQ(drawing.kx.scaleDenom, 500);
    EXPECT_EQ(drawing.kx.outDpi, 96);

    aplSetKind(akColouring);
    cfgSetInt(kxHRSize, 3);
    drawing.kx.SetScaleInfo(0, 0);
    withForm(4, [](TFrm_Print& f) {
        EXPECT_EQ(f.CB_HR_Size->currentIndex(), 3);
        f.PaintBoxEx1->grab();
    });
    EXPECT_EQ(cfgGetInt(kxHRSize), 3);
    EXPECT_EQ(drawing.kx.scaleDenom, 1000); // the bar keeps its own default scale
}

TEST_F(PrintForm, PreviewStatusLineAndTheDrawingsRenderState)
{
    withForm(4, [&](TFrm_Print& f) {
        f.ED_POffsX->setText(QStringLiteral("-1"));
        f.ED_POffsY->setText(QStringLiteral("12"));
        f.PaintBoxEx1->grab();
        EXPECT_EQ(f.StatusBar1->currentMessage(),
                  QStringLiteral("Scale:4.16666666666667 Width:396 Height:280 DPM: 3.77952755905512"));
        const KXDraw& kx = drawing.kx;
        EXPECT_EQ(kx.outMode, 1);
        EXPECT_DOUBLE_EQ(kx.printRatio, 0.5);
        EXPECT_DOUBLE_EQ(kx.zoom, 0.25);
        EXPECT_EQ(kx.forceRatio, 1);
        EXPECT_EQ(kx.pOffsX, -1); // an offset, not the setter's "no change"
        EXPECT_EQ(kx.pOffsY, 12);
        EXPECT_EQ(kx.hatchKind, 1); // the opener's choices stay
        EXPECT_EQ(kx.imageOverFills, 1);
        // A typed scale shows at the next repaint; one that is no scale keeps the last good.
        f.CB_Scale->setCurrentText(QStringLiteral("1000"));
        QTest::mouseClick(f.Button4, Qt::LeftButton);
        f.PaintBoxEx1->grab();
        EXPECT_DOUBLE_EQ(drawing.kx.printRatio, 1.0);
        for (const char* bad : {"0", "-5", "abc", "nan", "inf"}) {
            f.CB_Scale->setCurrentText(QString::fromLatin1(bad));
            QTest::mouseClick(f.Button4, Qt::LeftButton);
            f.PaintBoxEx1->grab();
            EXPECT_DOUBLE_EQ(drawing.kx.printRatio, 1.0) << bad;
        }
    });
    EXPECT_EQ(cfgGetInt(kxSCALE), 1000);
}

// The preview at 2/4 and 1/4 is the one at 1/1 reduced: texts, callouts, arrowheads, start
// circles and names shrink with the lines, each edge within a dot (sizes are whole dots).
TEST_F(PrintForm, APreviewAtAnyZoomIsTheFullPreviewReduced)
{
    defaultSettings({{0x0000FF, 1}, {0xFF0000, 1}, {0xFF00FF, 1}, {0x00FFFF, 1}});
    cfgSetInt(kxBB_CX, -100000); // the range frame off the page
    TPRec text = figure(4, {{200, 200}, {300, 200}}, 0, 0);
    text.name = "田中";
    text.startPt = {50, 0}; // 5.0 mm
    TPRec callout = figure(6, {{200, 600}, {700, 600}, {700, 700}}, 0, 1);
    callout.name = "25.0";
    callout.startPt = {50, 30};
    drawing.add(text);
    drawing.add(callout);
    drawing.add(figure(2, {{800, 300}, {1200, 300}}, 2, 2)); // end arrow
    drawing.add(figure(2, {{800, 700}, {1200, 700}}, 1, 3)); // start circle
    TPRec named = figure(1, {{300, 850}, {301, 850}}, 0, 1);
    named.name = "名前";
    drawing.add(named);
    drawing.kx.drawNames = 1;
    const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 0, 255), qRgb(255, 0, 255), qRgb(255, 255, 0), qRgb(0, 0, 0)};
    const char* what[] = {"text", "callout", "arrow", "circle", "name"};
    withForm(4, [&](TFrm_Print& f) {
        f.CHB_Target->setChecked(false);
        auto boxes = [&](QRadioButton* zoom) {
            QTest::mouseClick(zoom, Qt::LeftButton);
            const QImage shot = f.PaintBoxEx1->grab().toImage().convertToFormat(QImage::Format_RGB32);
            std::vector<QRect> r(std::size(colours));
            for (int y = 0; y < shot.height(); ++y)
                for (int x = 0; x < shot.width(); ++x)
                    for (std::size_t i = 0; i < r.size(); ++i)
                        if (shot.pixel(x, y) == colours[i])
                            r[i] |= QRect(x, y, 1, 1);
            return r;
        };
        const std::vector<QRect> full = boxes(f.RadioButton1);
        for (auto [radio, zoom] : {std::pair{f.RadioButton3, 0.5}, {f.RadioButton4, 0.25}}) {
            const std::vector<QRect> reduced = boxes(radio);
            for (std::size_t i = 0; i < reduced.size(); ++i) {
                SCOPED_TRACE(testing::Message() << what[i] << " at " << zoom);
                ASSERT_FALSE(full[i].isEmpty());
                EXPECT_NEAR(reduced[i].width(), full[i].width() * zoom, 2.0) << full[i].width();
                EXPECT_NEAR(reduced[i].height(), full[i].height() * zoom, 2.0) << full[i].height();
            }
        }
    });
}

TEST_F(PrintForm, ScaleBarLabelsAreBlackWhateverTheLastFigureLeft)
{
    defaultSettings({{0x2A2AA5, 1}}); // brown
    cfgSetInt(kxHRSize, 1);
    drawing.add(figure(0, {{10, 10}, {10, 60}, {60, 60}, {60, 10}}, 1)); // a brown tone, drawn last
    withForm(4, [&](TFrm_Print& f) {
        f.CHB_Target->setChecked(false);
        const QImage shot = f.PaintBoxEx1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // The bar 15 mm above the bottom edge, its labels above it.
        const int y = shot.height() - static_cast<int>(15 * 96 / 25.4 * 0.25);
        int black = 0, brown = 0;
        for (int yy = y - 25; yy < y; ++yy)
            for (int x = 0; x < shot.width(); ++x) {
                black += shot.pixel(x, yy) == qRgb(0, 0, 0);
                brown += shot.pixel(x, yy) == qRgb(0xA5, 0x2A, 0x2A);
            }
        EXPECT_GT(black, 20);
        EXPECT_EQ(brown, 0);
    });
}

TEST_F(PrintForm, FullAndPartialPrintsSetRatioDivisorOffsetsAndOrientation)
{
    ui::clearRecorded();
    testutil::TempDir dir;
    const std::string pdf = dir.file("page.pdf");
    printSetTestOutput(QPageSize(QPageSize::A3), QPageLayout::Portrait, pdf, 600);
    cfgSetInt(kxBB_Paper, 1); // A4 landscape
    cfgSetInt(kxBB_CX, 1000);
    cfgSetInt(kxBB_CY, 700);
    withForm(4, [&](TFrm_Print& f) {
        ui::scriptAnswer(ui::Answer::Yes);
        QTest::mouseClick(f.Btn_Print, Qt::LeftButton);
        EXPECT_DOUBLE_EQ(drawing.kx.printRatio, 0.501);
        EXPECT_NEAR(drawing.kx.divisor, 0.167, 1e-12);
        EXPECT_EQ(printGetPrinter().pageLayout().orientation(), QPageLayout::Landscape);
        EXPECT_EQ(f.outputMode, 0); // back on the preview

        ui::scriptAnswer(ui::Answer::Yes);
        QTest::mouseClick(f.Btn_BBPrint, Qt::LeftButton);
        EXPECT_EQ(drawing.kx.pOffsX, -116);
        EXPECT_EQ(drawing.kx.pOffsY, -80);
        EXPECT_EQ(drawing.kx.hrSize, 0);
        EXPECT_EQ(printGetPrinter().pageLayout().orientation(), QPageLayout::Landscape);

        // Not confirmed: nothing printed.
        std::filesystem::remove(pdf);
        QTest::mouseClick(f.Btn_Print, Qt::LeftButton);
        EXPECT_FALSE(std::filesystem::exists(pdf));
        QTest::mouseClick(f.Btn_DefPrint, Qt::LeftButton);
    });
    const auto& rec = ui::recorded();
    ASSERT_EQ(rec.size(), 4u);
    EXPECT_EQ(rec[0].kind, "print");
    EXPECT_EQ(rec[0].text, pdf);
    EXPECT_EQ(rec[0].answer, "ok");
    EXPECT_EQ(rec[2].answer, "cancel");
    EXPECT_EQ(rec[3].kind, "printsetup");
}

TEST_F(PrintForm, AFileThatCannotBeWrittenIsReportedAndThePreviewReturns)
{
    ui::clearRecorded();
    testutil::TempDir dir;
    const std::string pdf = dir.file("no/such/folder/page.pdf");
    printSetTestOutput(QPageSize(QPageSize::A4), QPageLayout::Portrait, pdf);
    withForm(1, [&](TFrm_Print& f) {
        ui::scriptAnswer(ui::Answer::Yes);
        QTest::mouseClick(f.Btn_Print, Qt::LeftButton);
        EXPECT_EQ(f.outputMode, 0);
        EXPECT_EQ(f.outDpi, 96);
    });
    const auto& rec = ui::recorded();
    ASSERT_EQ(rec.size(), 2u);
    EXPECT_EQ(rec[1].kind, "message");
    EXPECT_EQ(rec[1].text, "印刷できません: " + pdf);
}

// Drags of the range frame at zoom 1/4 on A4 portrait, S = 500, a 96 dpi screen.
TEST_F(PrintForm, RangeFrameDrags)
{
    cfgSetInt(kxBB_Paper, 0);
    struct Drag {
        bool armed;         // "印刷範囲設定" first
        QPoint a, b;        // the presses, in preview pixels
        QString scale;      // CB_BB_Scale afterwards
        int cx, cy;         // the range centre, unzoomed
        QString printScale = QStringLiteral("500");
    };
    const Drag drags[] = {
        {true, {10, 10}, {110, 50}, QStringLiteral("251"), 240, 120},
        {true, {110, 50}, {10, 10}, QStringLiteral("251"), 240, 120}, // mirrored
        {true, {60, 90}, {60, 20}, QStringLiteral("0"), 240, 220},     // no width
        {false, {30, 20}, {30, 20}, QStringLiteral("500"), 120, 80},   // idle clicks move the centre
        // A print scale out of all reason counts as the last good one.
        {true, {10, 10}, {110, 50}, QStringLiteral("251"), 240, 120, QStringLiteral("1e300")},
    };
    for (const Drag& d : drags) {
        SCOPED_TRACE(d.a.x());
        cfgSetInt(kxBB_Scale, 500);
        withForm(1, [&](TFrm_Print& f) {
            QWidget* box = f.PaintBoxEx1;
            f.CB_Scale->setCurrentText(d.printScale);
            if (d.armed)
                QTest::mouseClick(f.Btn_BBDef, Qt::LeftButton);
            QTest::mousePress(box, Qt::LeftButton, {}, d.a);
            QTest::mouseRelease(box, Qt::LeftButton, {}, d.a);
            if (d.armed) {
                EXPECT_EQ(f.rangeState, 2);
                f.PaintBoxEx1MouseMove({}, (d.a.x() + d.b.x()) / 2, d.b.y());
                EXPECT_EQ(f.rangeX2, (d.a.x() + d.b.x()) / 2 * 4);
                box->grab(); // the rubber rectangle over the kept preview
            }
            QTest::mousePress(box, Qt::RightButton, {}, d.b);
            EXPECT_EQ(f.rangeState, 0);
            EXPECT_EQ(f.CB_BB_Scale->currentText(), d.scale);
            EXPECT_EQ(f.rangeCentreX, d.cx);
            EXPECT_EQ(f.rangeCentreY, d.cy);
        });
    }
}

TEST_F(PrintForm, TheGreenFrameSpansTheDraggedWidthLessTheBands)
{
    cfgSetInt(kxBB_Paper, 0);
    withForm(1, [&](TFrm_Print& f) {
        f.CHB_Target->setChecked(false);
        QTest::mouseClick(f.Btn_BBDef, Qt::LeftButton);
        f.PaintBoxEx1MouseDown(Qt::LeftButton, {}, 40, 60);
        f.PaintBoxEx1MouseDown(Qt::LeftButton, {}, 140, 60);
        ASSERT_EQ(f.CB_BB_Scale->currentText(), QStringLiteral("251"));
        const QImage shot = f.PaintBoxEx1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int cy = 60;
        int first = -1, last = -1;
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, cy + 10) == qRgb(0, 128, 0)) {
                if (first < 0)
                    first = x;
                last = x;
            }
        // Outline centred at 90 +- 44, two dots wide.
        EXPECT_NEAR(last - first, 88, 2);
        EXPECT_NEAR((first + last) / 2.0, 90, 1.5);
        // The rubber rectangle is gone with the drag.
        EXPECT_EQ(f.rangeState, 0);
    });
}

TEST_F(PrintForm, RubberRectangleInvertsAndRestores)
{
    QImage img = rendertest::whiteImage(40, 40);
    img.setPixel(5, 5, qRgb(10, 200, 30));
    const QImage before = img;
    {
        Canvas c(img);
        printDrawRubberRect(c, 5, 5, 30, 20);
    }
    EXPECT_NE(img, before);
    EXPECT_EQ(img.pixel(5, 12), qRgb(0, 0, 0));
    {
        Canvas c(img);
        printDrawRubberRect(c, 5, 5, 30, 20);
        EXPECT_EQ(c.penMode(), PenMode::Copy);
    }
    EXPECT_EQ(img, before);
}

TEST(PrintPaper, PartialPaperTable)
{
    const int expected[][3] = {{-1, 0, 0}, {0, 210, 297}, {1, 297, 210}, {2, 297, 420}, {3, 420, 297}, {4, 0, 0}};
    for (const auto& e : expected) {
        int w = -9, h = -9;
        printGetBBPaperMM(e[0], w, h);
        EXPECT_EQ(w, e[1]);
        EXPECT_EQ(h, e[2]);
    }
    printSetSource(nullptr, 0, -5);
    EXPECT_EQ(printSourceDpi, 200);
    EXPECT_EQ(printSourceScale, 1000);
}

} // namespace
