// The files a drawing's save writes: which of them are the raster itself or another layer's
// file, and the messages that name them.
#include "model/imgdef.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "platform/paths.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using K = TCompanionKind;

std::vector<std::string> messagesOf(const std::vector<TCompanionClash>& clashes)
{
    std::vector<std::string> texts;
    for (const TCompanionClash& c : clashes)
        texts.push_back(std::to_string(c.index) + " " + c.message);
    return texts;
}

} // namespace

TEST(Companions, TheRasterItselfAndAnEarlierFileAreNamed)
{
    testutil::TempDir dir;
    const std::string d = dir.path();
    const std::string raster = d + "/sheet.tif";
    testutil::writeBytes(raster, "image");
    fs::create_directories(d + "/A");
    fs::create_hard_link(raster, d + "/sheet.ZKI");
    fs::create_symlink("sheet.tif", d + "/sheet.Def");
    const struct Case {
        const char* what;
        std::vector<TCompanion> files;
        std::vector<std::string> clashes;
    } cases[] = {
        {"every file its own",
         {{K::Figures, "図形等", d + "/x.ZKI"}, {K::LayerDef, "図形等", d + "/LayerDef.Txt"},
          {K::Figures, "A", d + "/A/x.ZKI"}, {K::LayerDef, "A", d + "/A/LayerDef.Txt"},
          {K::ImageDef, "", d + "/x.Def"}},
         {}},
        {"the raster under its own name, a hard link and a symbolic link",
         {{K::Figures, "図形等", raster}, {K::LayerDef, "A", d + "/sheet.ZKI"}, {K::ImageDef, "", d + "/sheet.Def"}},
         {"0 レイヤ「図形等」の図形ファイルがラスタファイルと同じです(" + raster + ")",
          "1 レイヤ「A」のレイヤ定義ファイルがラスタファイルと同じです(" + d + "/sheet.ZKI)",
          "2 画像定義ファイルがラスタファイルと同じです(" + d + "/sheet.Def)"}},
        {"two layers' files of one kind, and of two kinds",
         {{K::Figures, "A", d + "/A/x.ZKI"}, {K::Figures, "B", d + "/A/./x.ZKI"},
          {K::LayerDef, "C", d + "/A//x.ZKI"}, {K::ImageDef, "", d + "/B/../A/x.ZKI"}},
         {"1 レイヤ「A」とレイヤ「B」の図形ファイルが同じです(" + d + "/A/./x.ZKI)",
          "2 レイヤ「A」の図形ファイルとレイヤ「C」のレイヤ定義ファイルが同じです(" + d + "/A//x.ZKI)",
          "3 レイヤ「A」の図形ファイルと画像定義ファイルが同じです(" + d + "/B/../A/x.ZKI)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(messagesOf(layerCompanionClashes(raster, c.files)), c.clashes);
    }
    EXPECT_EQ(testutil::readBytes(raster), "image");
}

TEST(Companions, ADrawingWritesEachLayersFilesThenTheDefFile)
{
    layTblCreate(2);
    layTblGet(0)->name = "図形等";
    layTblGet(0)->layerDefPath = "/d/LayerDef.Txt";
    layTblGet(1)->name = "A";
    layTblGet(1)->layerDefPath = "/d/A/LayerDef.Txt";
    const std::vector<TCompanion> files = layerDrawingCompanions("/b/sheet.tif", {"/b/sheet.ZKI", "/b/A/sheet.ZKI"});
    std::vector<std::string> seen;
    for (const TCompanion& f : files)
        seen.push_back(std::to_string(static_cast<int>(f.kind)) + " " + f.layerName + " " + f.path + " " +
                       std::to_string(f.layer));
    EXPECT_EQ(seen, (std::vector<std::string>{"0 図形等 /b/sheet.ZKI 0", "1 図形等 /d/LayerDef.Txt 0",
                                              "0 A /b/A/sheet.ZKI 1", "1 A /d/A/LayerDef.Txt 1",
                                              "2  /b/sheet.Def -1"}));
    layTblCreate(1);
}

TEST(Companions, ADefFileThatIsTheRasterIsNeitherReadNorWritten)
{
    testutil::TempDir dir;
    for (const bool hardLink : {false, true}) {
        SCOPED_TRACE(hardLink ? "a hard link" : "the raster named .Def");
        const std::string raster = dir.file(hardLink ? "linked.tif" : "scan.Def");
        // Reads as a Def file: each line would parse.
        testutil::writeBytes(raster, "x\n300 500 10 10\n1 2 3 4\n");
        if (hardLink)
            fs::create_hard_link(raster, dir.file("linked.Def"));
        TImgDef def;
        def.imagePath = raster;
        EXPECT_EQ(imgDefRead(def), 0);
        EXPECT_EQ(def.dpi, 200); // the defaults
        EXPECT_EQ(def.width, 800);
        EXPECT_EQ(imgDefWrite(def), 0);
        EXPECT_EQ(testutil::readBytes(raster), "x\n300 500 10 10\n1 2 3 4\n");
        EXPECT_EQ(imgDefClash(def), "画像定義ファイルがラスタファイルと同じです(" + pathChangeExt(raster, "Def") + ")");
    }
    TImgDef own;
    own.imagePath = dir.file("own.tif");
    EXPECT_EQ(imgDefClash(own), "");
    EXPECT_EQ(imgDefWrite(own), 1);
}
