#include "wbfixture.h"

#include "model/startup.h"
#include "model/tracegrid.h"
#include "platform/message.h"
#include "render/imaging.h"
#include "shell/frmprogress.h"

#include <QApplication>
#include <QProgressBar>
#include <QStatusBar>
#include <gtest/gtest.h>

#include <thread>

namespace {

using wbtest::Sheet;

// Records every step the progress window paints: its bar position and its text.
struct StepRecorder : QObject {
    std::vector<std::pair<int, std::string>> steps;
    std::string caption;
    StepRecorder() { qApp->installEventFilter(this); }
    ~StepRecorder() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Show && FormProgress != nullptr && o == FormProgress) {
            caption = FormProgress->windowTitle().toStdString();
            TFormProgress* w = FormProgress;
            connect(w->StatusBar1, &QStatusBar::messageChanged, this, [this, w](const QString& t) {
                if (!t.isEmpty())
                    steps.emplace_back(w->ProgressBar1->value(), t.toStdString());
            });
        }
        return false;
    }
    std::vector<std::string> texts() const
    {
        std::vector<std::string> t;
        for (const auto& s : steps)
            t.push_back(s.second);
        return t;
    }
};

void writeRvl(const std::string& path)
{
    testutil::writeBytes(path, "PS\r\n10 10\r\n100 10\r\n100 80\r\nPE\r\nPS\r\n200 50\r\n250 50\r\nPE\r\n");
}

TEST(TraceAnalyse, RecognisedLineWorkOnlyWhenAskedAndPresent)
{
    Sheet sheet;
    writeRvl(sheet.drawing.rvlPath);
    {
        StepRecorder rec;
        sheet.load(1);
        EXPECT_EQ(rec.caption, "トレース情報解析");
        const std::vector<std::pair<int, std::string>> want = {
            {1, "Image処理１実行中"}, {2, "Image処理２-２実行中"}, {2, "Image処理２-１実行中"},
            {2, "Image処理２-３実行中"}, {3, "ワークファイル読込中"}, {4, "計算処理１実行中"},
            // 5 lies beyond the bar's 4: the bar stays full.
            {4, "計算処理２実行中"}, {4, "後処理"}};
        EXPECT_EQ(rec.steps, want);
    }
    EXPECT_GT(polyGetSegCount(), 0);
    EXPECT_EQ(polyGetCell(50, 300 - 10 - 1), traceInk); // rows counted from the top
    EXPECT_EQ(FormProgress, nullptr);

    // Not asked for, with the file there: none, so the workbench disables "端点認識".
    sheet.load(0);
    EXPECT_EQ(polyGetSegCount(), 0);
    TFrm_KXInput form;
    wbtest::resetWorkbench();
    form.openOn(&sheet.drawing);
    EXPECT_FALSE(form.CB_CheckPoint->isEnabled());
    EXPECT_FALSE(form.CB_CheckPoint->isChecked());

    sheet.load(1);
    TFrm_KXInput withTrace;
    withTrace.openOn(&sheet.drawing);
    EXPECT_TRUE(withTrace.CB_CheckPoint->isEnabled());
    EXPECT_TRUE(withTrace.CB_CheckPoint->isChecked());
    wb.drawing = nullptr;
}

TEST(TraceAnalyse, AskedWithoutAFileShowsFourSteps)
{
    Sheet sheet;
    StepRecorder rec;
    sheet.load(1);
    EXPECT_EQ(rec.texts(), (std::vector<std::string>{"Image処理１実行中", "Image処理２-２実行中",
                                                     "Image処理２-１実行中", "後処理"}));
    EXPECT_EQ(polyGetSegCount(), 0);
}

TEST(TraceAnalyse, ReductionsHalveAndQuarterKeepingColour)
{
    Sheet mono(1, 1001, 603);
    mono.load(0);
    ASSERT_NE(mono.drawing.rasterBmp, nullptr);
    EXPECT_TRUE(mono.drawing.rasterBmp->isOneBit());
    EXPECT_EQ(mono.drawing.halfBmp->width(), 500);
    EXPECT_EQ(mono.drawing.halfBmp->height(), 301);
    EXPECT_EQ(mono.drawing.quarterBmp->width(), 250);
    EXPECT_EQ(mono.drawing.quarterBmp->height(), 150);
    // The one-pixel lines stay visible in the reductions (refined, not dropped).
    EXPECT_LT(qGray(mono.drawing.quarterBmp->image().pixel(125, 75)), 200);

    Sheet colour(1, 1001, 603, true);
    colour.load(0);
    EXPECT_FALSE(colour.drawing.rasterBmp->isOneBit());
    EXPECT_GE(colour.drawing.halfBmp->pixelFormat(), pf24bit);
    EXPECT_GE(colour.drawing.quarterBmp->pixelFormat(), pf24bit);
    const QRgb c = colour.drawing.quarterBmp->image().pixel(10, 10);
    EXPECT_NE(qRed(c), qBlue(c)); // colour stays colour
}

TEST(TraceAnalyse, EveryLayerLoadsItsOwnFileWithItsIndex)
{
    Sheet sheet(3);
    // Version 3 files: the loader clears the flags of the figure layer only.
    for (int i = 0; i < 3; ++i) {
        std::string text = std::to_string(i + 1) + " 3\r\n";
        for (int f = 0; f <= i; ++f)
            text += "0 3 0 0 0 7 0 0 0 0 0 0 f\r\n10 10 0 0 0 0 0\r\n0 0\r\n20 0\r\n0 20\r\n";
        testutil::writeBytes(sheet.drawing.zkiPath[static_cast<std::size_t>(i)], text);
    }
    sheet.load(0);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(sheet.store(i).PD_GetCount(), i + 1) << i;
        EXPECT_EQ(sheet.store(i).PD_GetPolyPtr(0)->flags, i == 0 ? 0 : 7) << i;
    }
}

TEST(TraceAnalyse, MissingRasterKeepsPlaceholderAndFailuresAreNamed)
{
    testutil::TempDir dir;
    QImage ph(64, 32, QImage::Format_RGB32);
    ph.fill(Qt::red);
    ph.save(QString::fromStdString(dir.file("RozedAdo.tif")));
    const std::string before = placeholderImagePath;
    placeholderImagePath = dir.file("RozedAdo.tif");

    Sheet sheet;
    sheet.drawing.imgDef->imagePath = sheet.dir.file("missing.tif");
    sheet.load(0);
    EXPECT_EQ(sheet.drawing.rasterBmp->width(), 64);
    EXPECT_EQ(sheet.drawing.halfBmp->width(), 32);
    EXPECT_EQ(sheet.drawing.quarterBmp->width(), 16);

    // Neither raster nor placeholder: empty bitmaps, no message, figures still loaded.
    placeholderImagePath = dir.file("none.tif");
    Sheet empty;
    empty.store().PD_AddPoly(0, wbtest::polygon("a", 1, 1, 5));
    empty.store().PD_SaveFile(empty.drawing.zkiPath[0]);
    empty.drawing.imgDef->imagePath = empty.dir.file("missing.tif");
    {
        testutil::MessageRecorder msgs;
        empty.load(0);
        EXPECT_TRUE(msgs.messages.empty());
    }
    EXPECT_TRUE(empty.drawing.rasterBmp->isEmpty());
    EXPECT_EQ(empty.store().PD_GetCount(), 1);

    // A raster too small to quarter: that reduction fails with one message naming the step,
    // the half is still made.
    placeholderImagePath = before;
    Sheet tiny(1, 3, 2);
    {
        testutil::MessageRecorder msgs;
        tiny.load(0);
        ASSERT_EQ(msgs.messages.size(), 1u);
        EXPECT_EQ(msgs.messages[0].rfind("Image処理２-２実行中", 0), 0u) << msgs.messages[0];
    }
    EXPECT_EQ(tiny.drawing.halfBmp->width(), 1);
    EXPECT_TRUE(tiny.drawing.quarterBmp->isEmpty());
}

// Every cell of the trace grid, row by row.
std::vector<uint8_t> gridCells()
{
    const TraceGrid& g = polyGetGrid();
    std::vector<uint8_t> cells;
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            cells.push_back(static_cast<uint8_t>(polyGetCell(x, y)));
    return cells;
}

// The grid is read beside the raster's decode at the size its header gives: it is the grid of
// the plain steps one after another. A raster whose header reads but whose pixels do not
// leaves the placeholder, and the grid is that size.
TEST(TraceAnalyse, LineWorkReadBesideTheDecodeIsThePlainBuild)
{
    testutil::TempDir dir;
    QImage ph(64, 48, QImage::Format_Mono);
    ph.fill(1);
    ph.save(QString::fromStdString(dir.file("RozedAdo.png")));
    const std::string before = placeholderImagePath;
    placeholderImagePath = dir.file("RozedAdo.png");

    Sheet sheet(1, 400, 300);
    writeRvl(sheet.drawing.rvlPath);
    Sheet broken(1, 400, 300);
    writeRvl(broken.drawing.rvlPath);
    {
        // The chunks stand, the compressed pixels are damaged.
        std::string bytes = testutil::readBytes(broken.drawing.imgDef->imagePath);
        const size_t idat = bytes.find("IDAT");
        ASSERT_NE(idat, std::string::npos);
        for (size_t i = idat + 6; i < idat + 20 && i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(~bytes[i]);
        testutil::writeBytes(broken.drawing.imgDef->imagePath, bytes);
    }
    for (Sheet* s : {&sheet, &broken}) {
        s->load(1);
        const int w = s->drawing.rasterBmp->width(), h = s->drawing.rasterBmp->height();
        SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
        ASSERT_EQ(polyGetGrid().width, w);
        ASSERT_EQ(polyGetGrid().height, h);
        const std::vector<uint8_t> beside = gridCells();
        polyInit(w, h);
        polyReadRvl(s->drawing.rvlPath, h);
        polyGridFromBitmap(1, w, h);
        polyMarkVertices();
        EXPECT_EQ(beside, gridCells());
    }
    EXPECT_EQ(broken.drawing.rasterBmp->width(), 64);
    placeholderImagePath = before;
}

// What reading the figures beside the decode reports is shown on the calling thread, after
// they are read, and the figures are there.
TEST(TraceAnalyse, FiguresReadBesideTheDecodeReportOnTheCallingThread)
{
    Sheet sheet;
    // Version 1: the label point is worked out while reading; a zigzag crossing its middle
    // line 24 times is too complex.
    std::string zki = "1 1\r\n0 25 0 0 0 0 0 0 0 0 0 0 z\r\n";
    for (int i = 0; i <= 23; ++i)
        zki += std::to_string(i * 10) + (i % 2 ? " 20\r\n" : " 0\r\n");
    zki += "230 0\r\n";
    testutil::writeBytes(sheet.drawing.zkiPath[0], zki);
    std::vector<std::pair<std::string, std::thread::id>> shown;
    MessageSink before = setMessageSink([&](const std::string& t) { shown.emplace_back(t, std::this_thread::get_id()); });
    sheet.load(0);
    setMessageSink(before);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "複雑すぎる");
    EXPECT_EQ(shown[0].second, std::this_thread::get_id());
    EXPECT_EQ(sheet.store().PD_GetCount(), 1);
}

// The half is made when it is first shown, as the plain reduction makes it.
TEST(TraceAnalyse, TheHalfIsMadeWhenFirstShown)
{
    for (bool colour : {false, true}) {
        Sheet sheet(1, 1001, 603, colour);
        sheet.load(0);
        Bitmap& half = *sheet.drawing.halfBmp;
        EXPECT_TRUE(half.isDeferred());
        EXPECT_EQ(half.width(), 500);
        EXPECT_EQ(half.height(), 301);
        Bitmap plain;
        ASSERT_EQ(imgResizeForView(500, 301, *sheet.drawing.rasterBmp, plain), 1);
        EXPECT_EQ(half.pixelFormat(), plain.pixelFormat());
        EXPECT_TRUE(half.image() == plain.image()) << colour;
        EXPECT_FALSE(half.isDeferred());
    }
}

TEST(TraceAnalyse, FreeingTheWorkBitmapsClearsThePointers)
{
    Sheet sheet;
    sheet.load(0);
    ASSERT_NE(sheet.drawing.loupeBmp, nullptr);
    inputFreeWorkBitmaps(&sheet.drawing);
    EXPECT_EQ(sheet.drawing.loupeBmp, nullptr);
    EXPECT_EQ(sheet.drawing.rasterBmp, nullptr);
    EXPECT_EQ(sheet.drawing.halfBmp, nullptr);
    EXPECT_EQ(sheet.drawing.quarterBmp, nullptr);
    inputFreeWorkBitmaps(&sheet.drawing); // twice is harmless
    inputFreeWorkBitmaps(nullptr);
    // A second analysis of one drawing replaces the bitmaps, it does not leak them.
    sheet.load(0);
    sheet.load(0);
    EXPECT_EQ(sheet.drawing.rasterBmp->width(), 400);
}

} // namespace
