// Opening the raster that the command line names: checks, figure stores, layer folders, the
// image definition, and the hand-over to the workbench or the print form.
#include "app_fixture.h"
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/pdata.h"
#include "render/bitmap.h"
#include "render/kxdraw.h"
#include "shell/startopen.h"

namespace fs = std::filesystem;

namespace {

// What the recorders saw of the drawing while it was open.
struct Seen {
    std::vector<std::string> calls;
    std::vector<std::string> traced;
    int useTrace = -1;
    int layerCount = 0;
    std::vector<std::string> zki;
    std::vector<int> useNames;
    std::string imagePath, rvlPath;
    int dpi = 0, width = 0, height = 0, scale = 0;
    int printDpi = 0, printScale = 0, printKind = 0, paper = -1;
    int showImage = 0, outMode = -1, drawNames = 0;
};

} // namespace

class StartOpenTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        base = tmp.file("base");
        cmdBaseDir = base;
        cmdSubDir = "sub";
        cmdRasterName = "sheet.tif";
        raster = base + "/sub/sheet.tif";
        ShellEntries& e = shellEntries();
        e.tracePreprocess = [this](const std::string& path) {
            seen.calls.push_back("trace");
            seen.traced.push_back(path);
        };
        e.traceAnalyseInfo = [this](KXDraw* d, int useTrace) {
            seen.calls.push_back("analyse");
            seen.useTrace = useTrace;
            // The analysis hands the drawing its full-size raster.
            d->rasterBmp = &bitmap;
        };
        e.showKXInput = [this](KXDraw* d) {
            seen.calls.push_back("workbench");
            look(d);
            return 3;
        };
        e.printSetSource = [this](KXDraw* d, int dpi, int scale) {
            seen.calls.push_back("printSource");
            seen.printDpi = dpi;
            seen.printScale = scale;
            look(d);
        };
        e.showPrint = [this](int kind, int paper) {
            seen.calls.push_back("print");
            seen.printKind = kind;
            seen.paper = paper;
        };
        e.inputFreeWorkBitmaps = [this](KXDraw* d) {
            seen.calls.push_back("free");
            d->rasterBmp = nullptr;
        };
    }

    void look(KXDraw* d)
    {
        seen.layerCount = d->layerCount;
        for (int t = 0; t < d->layerCount; ++t) {
            seen.zki.push_back(d->zkiPath[static_cast<size_t>(t)]);
            seen.useNames.push_back(d->pdata[static_cast<size_t>(t)] ? d->pdata[static_cast<size_t>(t)]->useNames : -1);
        }
        seen.imagePath = d->imgDef->imagePath;
        seen.rvlPath = d->rvlPath;
        seen.dpi = d->imgDef->dpi;
        seen.width = d->imgDef->width;
        seen.height = d->imgDef->height;
        seen.scale = d->imgDef->scale;
        seen.showImage = d->showImage;
        seen.outMode = d->outMode;
        seen.drawNames = d->drawNames;
    }

    void layers(const std::vector<std::string>& refNames)
    {
        layTblCreate(static_cast<int>(refNames.size()) + 1);
        layTblGet(0)->name = "図形等";
        for (size_t i = 0; i < refNames.size(); ++i)
            layTblGet(static_cast<int>(i) + 1)->name = refNames[i];
    }

    std::string base, raster;
    Bitmap bitmap{123, 45, pf1bit};
    Seen seen;
};

TEST_F(StartOpenTest, BadOrMissingRasterNamesStopBeforeAnythingOpens)
{
    struct Case {
        std::string base, sub, name, message;
    };
    const Case cases[] = {
        {"", "", "", "不正なファイル名です"},                      // "//": 2 bytes
        {"a", "", "", "不正なファイル名です"},                     // 4 bytes
        {"a", "b", "c", "指定したラスタファイルが見つかりません"}, // 5 bytes, passes the length test
        {base, "sub", "missing.tif", "指定したラスタファイルが見つかりません"},
        {base, "", "sub", "指定したラスタファイルが見つかりません"}, // a folder is no raster
    };
    fs::create_directories(base + "/sub");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.base + "/" + c.sub + "/" + c.name);
        ui::clearRecorded();
        cmdBaseDir = c.base;
        cmdSubDir = c.sub;
        cmdRasterName = c.name;
        startOpenRaster(0, 1);
        EXPECT_EQ(messages(), std::vector<std::string>{c.message});
    }
    EXPECT_TRUE(seen.calls.empty());
}

TEST_F(StartOpenTest, EveryLayerGetsAStoreAndAFolderAndTheWorkbenchOpensIt)
{
    writeRaster(raster, 40, 30, 300);
    layers({"道路", "水路"});
    startOpenRaster(0, 1);
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"trace", "analyse", "workbench", "free"}));
    EXPECT_EQ(seen.traced, std::vector<std::string>{raster});
    EXPECT_EQ(seen.useTrace, 1);
    EXPECT_EQ(seen.layerCount, 3);
    EXPECT_EQ(seen.zki, (std::vector<std::string>{base + "/sub/sheet.ZKI", base + "/道路/sub/sheet.ZKI",
                                                  base + "/水路/sub/sheet.ZKI"}));
    EXPECT_EQ(seen.useNames, (std::vector<int>{1, 1, 1}));
    EXPECT_TRUE(fs::is_directory(base + "/道路/sub"));
    EXPECT_TRUE(fs::is_directory(base + "/水路/sub"));
    EXPECT_EQ(seen.imagePath, raster);
    EXPECT_EQ(seen.rvlPath, base + "/sub/sheet.RVL");
    // No Def file: the raster's own dpi and the full-size bitmap's size.
    EXPECT_EQ(seen.dpi, 300);
    EXPECT_EQ(seen.width, 123);
    EXPECT_EQ(seen.height, 45);
    EXPECT_TRUE(messages().empty());
}

TEST_F(StartOpenTest, PreprocessingRunsOnlyForLineEndsWithoutAnRvlFile)
{
    // A file that tells no resolution.
    fs::create_directories(base + "/sub");
    testutil::writeBytes(raster, "not a raster");
    startOpenRaster(0, 0);
    EXPECT_TRUE(seen.traced.empty());
    EXPECT_EQ(seen.useTrace, 0);
    EXPECT_EQ(seen.dpi, 200);

    testutil::writeBytes(base + "/sub/sheet.RVL", "");
    startOpenRaster(0, 1);
    EXPECT_TRUE(seen.traced.empty());
    EXPECT_EQ(seen.useTrace, 1);
}

TEST_F(StartOpenTest, ADefFileKeepsItsOwnValues)
{
    writeRaster(raster, 40, 30, 300);
    writeText(base + "/sub/sheet.Def", raster + "\n400 500 4000 3000\n0 0 100 100\n0.0 0.0 100.0 -100.0\n1 1 2 2\n");
    startOpenRaster(0, 0);
    EXPECT_EQ(seen.dpi, 400);
    EXPECT_EQ(seen.scale, 500);
    EXPECT_EQ(seen.width, 4000);
    EXPECT_EQ(seen.height, 3000);
}

TEST_F(StartOpenTest, DirectPrintGoesToThePrintFormNeverTheWorkbench)
{
    writeRaster(raster, 40, 30, 300);
    writeText(base + "/sub/sheet.Def", raster + "\n400 500 4000 3000\n");
    cfgSetInt(kxPaperSize, 3);
    layers({"道路"});
    startOpenRaster(1, 0);
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"analyse", "printSource", "print", "free"}));
    EXPECT_EQ(seen.printDpi, 400);
    EXPECT_EQ(seen.printScale, 500);
    EXPECT_EQ(seen.printKind, 12);
    EXPECT_EQ(seen.paper, 3);
    EXPECT_EQ(seen.showImage, 1);
    EXPECT_EQ(seen.outMode, 0);
    EXPECT_EQ(seen.drawNames, 1);
    EXPECT_EQ(seen.layerCount, 2);
}
