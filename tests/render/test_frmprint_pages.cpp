// Printed pages of the print form, written as PDF at 300 dpi (margins 5 and 7 mm) and
// rasterised at their own resolution: scale, registration, the partial print's bands and
// frame, tones as dots, the raster over the fills, the print font; and the page's banded
// raster reduction against the whole one.
#include "printtest.h"
#include "testutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <filesystem>
#include <map>

namespace {

using namespace printtest;

constexpr double kDpm300 = 300 / 25.4;
constexpr double kPointMm = 0.2; // a PDF's page size is in whole points

bool dark(QRgb c) { return qGray(c) < 64; } // tone colours are lighter

struct PrintPages : testing::Test {
    Drawing drawing;
    testutil::TempDir dir;
    std::string pdf;
    void SetUp() override
    {
        ui::useScripted();
        defaultSettings({{0x0000FF, 0}, {0xFF9030, 0}, {0x00D8FF, 0}});
        aplSetKind(akColouring);
        pdf = dir.file("page.pdf");
    }

    // Prints through "印刷" (partial: "部分印刷") on A4 and returns the page at 300 dpi.
    QImage print(int paperIndex, bool partial, const std::function<void(TFrm_Print&)>& setUp = {})
    {
        printSetTestOutput(QPageSize(QPageSize::A4), QPageLayout::Portrait, pdf);
        withForm(paperIndex, [&](TFrm_Print& f) {
            if (setUp)
                setUp(f);
            ui::scriptAnswer(ui::Answer::Yes);
            QTest::mouseClick(partial ? f.Btn_BBPrint : f.Btn_Print, Qt::LeftButton);
        });
        return rasterisePdf(pdf, 300);
    }

    // The printable area's corner on the page, in dots.
    static QPoint origin()
    {
        const QPrinter& p = printGetPrinter();
        return p.pageRect(QPrinter::DevicePixel).toRect().topLeft() -
               p.paperRect(QPrinter::DevicePixel).toRect().topLeft();
    }
};

// The longest run of dark dots in row y: (first, last).
std::pair<int, int> longestDarkRun(const QImage& page, int y)
{
    std::pair<int, int> best{-1, -2};
    for (int x = 0; x < page.width();) {
        if (!dark(page.pixel(x, y))) {
            ++x;
            continue;
        }
        const int x0 = x;
        while (x < page.width() && dark(page.pixel(x, y)))
            ++x;
        if (x - 1 - x0 > best.second - best.first)
            best = {x0, x - 1};
    }
    return best;
}

TEST_F(PrintPages, FullPrintDrawsAtOneToSPlusOne)
{
    printSetSource(&drawing.kx, 254, 1000);
    const QImage page = print(2, false); // "2 A4横" at 1:500
    ASSERT_FALSE(page.isNull());
    EXPECT_GT(page.width(), page.height()); // landscape, from the preview's shape
    const double d = 254 * 0.501 / 300;
    const int y = origin().y() + static_cast<int>(500 / d);
    const auto [x0, x1] = longestDarkRun(page, y);
    EXPECT_NEAR((x1 + 1 - x0) / kDpm300, 100000.0 / 501, 0.2);
    EXPECT_NEAR(x0, origin().x() + static_cast<int>(kLineX0 / d), 2);
}

TEST_F(PrintPages, PartialPrintHasItsScaleBandsAndFrame)
{
    printSetSource(&drawing.kx, 254, 1000);
    // A tone over the whole page, so that the bands show.
    drawing.add(figure(0, {{-2000, -2000}, {-2000, 3000}, {4000, 3000}, {4000, -2000}}, 1, 1));
    cfgSetInt(kxBB_Paper, 1); // A4 landscape
    cfgSetInt(kxBB_CX, 484);  // offsets 19 mm and 0 mm
    cfgSetInt(kxBB_CY, 397);
    const QImage page = print(4, true);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(drawing.kx.pOffsX, 19);
    EXPECT_EQ(drawing.kx.pOffsY, 0);
    EXPECT_GT(page.width(), page.height());
    const double d = 254 * 0.5 / 300;
    // The drawing from the printable area's origin, at 1:B.
    const int y = origin().y() + static_cast<int>(500 / d);
    const auto [x0, x1] = longestDarkRun(page, y);
    EXPECT_NEAR((x1 + 1 - x0) / kDpm300, 200.0, 0.2);
    EXPECT_NEAR(x0, origin().x() + static_cast<int>(kLineX0 / d + 19 * kDpm300), 2);
    // From the paper's edge: white to 12 mm but for the frame at 10 mm, then the tone.
    const int mid = page.height() / 2;
    const int f = static_cast<int>(10 * kDpm300);
    const int m = static_cast<int>(12 * kDpm300);
    for (int x = 0; x < m; ++x) {
        const QRgb c = page.pixel(x, mid);
        if (std::abs(x - f) <= 1) {
            EXPECT_EQ(c, qRgb(0, 0, 0)) << x;
        } else if (std::abs(x - f) >= 4) {
            EXPECT_EQ(c, qRgb(255, 255, 255)) << x;
        }
    }
    for (int yy = 0; yy < m; ++yy) {
        if (std::abs(yy - f) >= 4) {
            EXPECT_EQ(page.pixel(page.width() / 2, yy), qRgb(255, 255, 255)) << yy;
        }
    }
    EXPECT_EQ(page.pixel(page.width() / 2, f), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(page.width() - 1 - f, mid), qRgb(0, 0, 0));
    bool toned = false;
    for (int x = m + 2; x < m + 20; ++x)
        for (int y2 : {mid, mid + 1})
            toned = toned || page.pixel(x, y2) == qRgb(48, 144, 255);
    EXPECT_TRUE(toned);
}

// The farthest apart partial and print scales that the form takes put the raster's rectangle
// and the page offsets far beyond the int range: the page is still composed, with its bands
// and frame.
TEST_F(PrintPages, PartialPrintAtATinyScaleStillDrawsThePage)
{
    printSetSource(&drawing.kx, 254, 1000);
    cfgSetInt(kxBB_Paper, 1); // A4 landscape
    struct Case {
        const char* partialScale;
        const char* printScale;
    };
    for (const Case& c : {Case{"1", "500"}, Case{"1", "1000000"}, Case{"1000000", "1"}}) {
        SCOPED_TRACE(std::string(c.partialScale) + " " + c.printScale);
        cfgSetInt(kxBB_CX, (kLineX0 + kLineX1) / 2 / 4);
        cfgSetInt(kxBB_CY, (kLineY0 + kLineY1) / 2 / 4);
        const QImage page = print(4, true, [&](TFrm_Print& f) {
            f.CB_BB_Scale->setCurrentText(QString::fromLatin1(c.partialScale));
            f.CB_Scale->setCurrentText(QString::fromLatin1(c.printScale));
        });
        ASSERT_FALSE(page.isNull());
        const int f = static_cast<int>(10 * kDpm300);
        const int mid = page.height() / 2;
        EXPECT_EQ(page.pixel(f, mid), qRgb(0, 0, 0)) << "the frame";
        EXPECT_EQ(page.pixel(f / 2, mid), qRgb(255, 255, 255)) << "the band";
    }
}

// The page that comes out is the paper that the form composes (A1 and A0 as long as it composes
// them, a free size as typed), whatever paper the printer had before.
TEST_F(PrintPages, ThePageIsThePaperTheFormComposes)
{
    printSetSource(&drawing.kx, 254, 1000);
    struct Case {
        int paper;   // CB_Paper
        int bbPaper; // CB_BB_Paper, for "部分印刷"
        bool partial;
        QSizeF mm;
    };
    const Case cases[] = {
        {4, 2, false, {420, 297}}, // "4 A3横"
        {9, 2, false, {840, 1188}}, // "9 A0縦"
        {8, 2, false, {840, 594}}, // "8 A1横"
        {0, 2, false, {500, 300}}, // "0 任意"
        {9, 1, true, {297, 210}},  // partial on "2 A4横"
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.paper << (c.partial ? " partial" : ""));
        cfgSetInt(kxPaperSize, c.paper);
        cfgSetInt(kxPaperX, 500);
        cfgSetInt(kxPaperY, 300);
        cfgSetInt(kxBB_Paper, c.bbPaper);
        std::filesystem::remove(pdf);
        printSetTestOutput(QPageSize(QPageSize::A4), QPageLayout::Portrait, pdf);
        withForm(c.paper, [&](TFrm_Print& f) {
            ui::scriptAnswer(ui::Answer::Yes);
            QTest::mouseClick(c.partial ? f.Btn_BBPrint : f.Btn_Print, Qt::LeftButton);
        });
        const QSizeF page = pdfPageSizeMm(pdf);
        EXPECT_NEAR(page.width(), c.mm.width(), kPointMm);
        EXPECT_NEAR(page.height(), c.mm.height(), kPointMm);
    }
}

// "プリンタ設定" opens on the form's paper; a paper the operator chooses there stands for the
// prints of that form paper, and choosing another form paper sets the printer to it.
TEST_F(PrintPages, APaperChosenInPrinterSetUpStandsUntilTheFormsPaperChanges)
{
    printSetSource(&drawing.kx, 254, 1000);
    printSetTestOutput(QPageSize(QPageSize::A4), QPageLayout::Portrait, pdf);
    auto printed = [&](TFrm_Print& f) {
        ui::scriptAnswer(ui::Answer::Yes);
        QTest::mouseClick(f.Btn_Print, Qt::LeftButton);
        return pdfPageSizeMm(pdf);
    };
    withForm(4, [&](TFrm_Print& f) {
        ui::scriptAnswer(ui::Answer::Yes);
        QTest::mouseClick(f.Btn_DefPrint, Qt::LeftButton);
        QPrinter& p = printGetPrinter();
        EXPECT_EQ(p.pageLayout().pageSize().id(), QPageSize::A3);
        EXPECT_EQ(p.pageLayout().orientation(), QPageLayout::Landscape);
        // As the operator would choose in the dialog.
        p.setPageSize(QPageSize(QPageSize::A4));
        p.setPageOrientation(QPageLayout::Portrait);
        QSizeF page = printed(f);
        EXPECT_NEAR(page.width(), 210, kPointMm);
        EXPECT_NEAR(page.height(), 297, kPointMm);
        f.CB_Paper->setCurrentIndex(6); // "6 A2横"
        page = printed(f);
        EXPECT_NEAR(page.width(), 594, kPointMm);
        EXPECT_NEAR(page.height(), 420, kPointMm);
    });
}

// Page offsets move the raster with the figures at every divisor, the prepared ones too.
TEST_F(PrintPages, RasterAndFiguresStayInRegisterWithPageOffsets)
{
    printSetSource(&drawing.kx, 300, 1000);
    drawing.add(figure(1, {{kLineX0, 500}, {kLineX1, 500}}, 0, 0)); // red, one dot, on the line
    for (int div : {1, 2, 4, 8, 3}) {
        SCOPED_TRACE(div);
        const QImage page = print(1, false, [&](TFrm_Print& f) {
            f.CB_Scale->setCurrentText(QString::number(div * 1000 - 1));
            f.ED_POffsX->setText(QStringLiteral("10"));
            f.ED_POffsY->setText(QStringLiteral("10"));
        });
        ASSERT_FALSE(page.isNull());
        ASSERT_DOUBLE_EQ(drawing.kx.divisor, div);
        const double off = 10 * kDpm300;
        const QPoint o = origin();
        const int figY = o.y() + static_cast<int>(500.0 / div + off);
        const int x = o.x() + static_cast<int>(600.0 / div + off);
        // A one-dot line on paper falls on either row next to its centre line.
        EXPECT_TRUE(page.pixel(x, figY) == qRgb(255, 0, 0) || page.pixel(x, figY - 1) == qRgb(255, 0, 0));
        const int top = o.y() + static_cast<int>(kLineY0 / double(div) + off);
        const int bottom = o.y() + static_cast<int>(kLineY1 / double(div) + off);
        int rasterRows = 0;
        for (int y = figY - 200; y <= figY + 200; ++y) {
            const QRgb c = page.pixel(x, y);
            if (c == qRgb(255, 255, 255) || c == qRgb(255, 0, 0))
                continue;
            ++rasterRows;
            EXPECT_GE(y, top - 2);
            EXPECT_LE(y, bottom + 2);
        }
        EXPECT_GE(rasterRows, 2);
    }
}

// Inside a tone fill a page carries the figure colour at the pattern's share and white.
TEST_F(PrintPages, TonesAndHatchArePrintedAsDots)
{
    printSetSource(&drawing.kx, 254, 1000);
    drawing.add(figure(0, {{200, 100}, {200, 400}, {1200, 400}, {1200, 100}}, 1, 1)); // blue
    drawing.add(figure(0, {{200, 600}, {200, 900}, {1200, 900}, {1200, 600}}, 1, 2)); // yellow
    const double d = 254 * 1.0 / 300;
    auto region = [&](int y0, int y1) {
        const QPoint o = origin();
        return QRect(QPoint(o.x() + static_cast<int>(260 / d), o.y() + static_cast<int>(y0 / d)),
                     QPoint(o.x() + static_cast<int>(1140 / d), o.y() + static_cast<int>(y1 / d)));
    };
    struct Case {
        int hatch;
        double share; // of the figure colour
    };
    for (Case c : {Case{0, 0.125}, Case{1, 0.25}, Case{2, 0.5}, Case{3, -1}}) {
        SCOPED_TRACE(c.hatch);
        drawing.kx.hatchKind = c.hatch;
        const QImage page = print(1, false, [](TFrm_Print& f) {
            f.CB_Scale->setCurrentText(QStringLiteral("999"));
            f.CHB_Target->setChecked(false);
        });
        ASSERT_FALSE(page.isNull());
        for (auto [rect, colour] : {std::pair{region(160, 340), qRgb(48, 144, 255)},
                                    {region(660, 840), qRgb(255, 216, 0)}}) {
            std::map<QRgb, long> counts;
            for (int y = rect.top(); y <= rect.bottom(); ++y)
                for (int x = rect.left(); x <= rect.right(); ++x)
                    ++counts[page.pixel(x, y)];
            const long all = static_cast<long>(rect.width()) * rect.height();
            EXPECT_EQ(counts[colour] + counts[qRgb(255, 255, 255)], all)
                << "other colours: " << counts.size() - 2;
            if (c.share > 0)
                EXPECT_NEAR(double(counts[colour]) / all, c.share, 0.01);
            else
                EXPECT_GT(counts[colour], all / 20);
        }
    }
}

// The raster's line work lies black over the fills, also where the page reduces it.
TEST_F(PrintPages, RasterLinesStayBlackOverAFill)
{
    printSetSource(&drawing.kx, 254, 1000);
    drawing.add(figure(0, {{0, 300}, {0, 700}, {1400, 700}, {1400, 300}}, 1, 1));
    drawing.kx.hatchKind = 2;
    for (int scale : {500, 4999}) {
        SCOPED_TRACE(scale);
        const QImage page = print(1, false, [&](TFrm_Print& f) { f.CB_Scale->setCurrentText(QString::number(scale)); });
        ASSERT_FALSE(page.isNull());
        const double d = 254.0 * (scale + 1) / 1000 / 300;
        const QPoint o = origin();
        const int y = o.y() + static_cast<int>(500 / d);
        for (int x = o.x() + static_cast<int>(200 / d); x < o.x() + static_cast<int>(1000 / d); ++x)
            ASSERT_EQ(page.pixel(x, y), qRgb(0, 0, 0)) << x;
        // Beside the line the tone shows.
        const int y2 = o.y() + static_cast<int>(400 / d);
        bool toned = false;
        for (int x = o.x() + static_cast<int>(200 / d); x < o.x() + static_cast<int>(220 / d); ++x)
            toned = toned || page.pixel(x, y2) == qRgb(48, 144, 255);
        EXPECT_TRUE(toned);
    }
}

TEST_F(PrintPages, FontTypeSelectsThePrintFace)
{
    printSetSource(&drawing.kx, 254, 1000);
    for (auto [fontType, face] : {std::pair{1, "IPAMincho"}, {0, "IPAGothic"}}) {
        cfgSetInt(kxFontType, fontType);
        cfgSetInt(kxHRSize, 1); // the scale bar's labels are text
        print(1, false);
        EXPECT_NE(pdfFonts(pdf).find(face), std::string::npos) << pdfFonts(pdf);
    }
}

// A page's raster is reduced band by band; each band is those rows of the whole reduction.
TEST(PageReduction, BandsEqualTheWholeReduction)
{
    rendertest::app();
    QRandomGenerator rng(11);
    QImage mono(997, 613, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    QImage colour(331, 277, QImage::Format_RGB32);
    for (int y = 0; y < mono.height(); ++y)
        for (int x = 0; x < mono.width(); ++x)
            mono.setPixel(x, y, rng.bounded(3) == 0 ? 0 : 1);
    for (int y = 0; y < colour.height(); ++y)
        for (int x = 0; x < colour.width(); ++x)
            colour.setPixel(x, y, rng.generate() | 0xFF000000u);
    for (const Bitmap& src : {Bitmap(mono, pf1bit), Bitmap(colour, pf24bit)}) {
        for (QSize size : {QSize(401, 250), QSize(120, 99), QSize(src.width() - 3, src.height() - 1)}) {
            Bitmap whole;
            ASSERT_TRUE(imgResizeBitmap(size.width(), size.height(), src, whole));
            for (auto [r0, r1] : {std::pair{0, 1}, {0, 7}, {7, 64}, {size.height() - 5, size.height()}}) {
                Bitmap band;
                ASSERT_TRUE(imgResizeRows(size.width(), size.height(), src, r0, r1, band));
                ASSERT_EQ(band.image().format(), whole.image().format());
                EXPECT_EQ(band.image(), whole.image().copy(0, r0, size.width(), r1 - r0))
                    << size.width() << " rows " << r0 << ".." << r1;
            }
            Bitmap none;
            EXPECT_FALSE(imgResizeRows(size.width(), size.height(), src, 5, 5, none));
            EXPECT_FALSE(imgResizeRows(size.width(), size.height(), src, 0, size.height() + 1, none));
        }
    }
}

} // namespace
