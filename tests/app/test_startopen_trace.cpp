// Trace pre-processing: the work image, the launcher run on it, and its removal.
#include "app_fixture.h"
#include "shell/startopen.h"

#include <sys/stat.h>

namespace fs = std::filesystem;

class TraceTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        startSetFolders(tmp.file("nowhere"));
        maps = tmp.file("my maps"); // a blank in the folder: the paths go over as two arguments
        raster = maps + "/sheet.tif";
        tmpPath = maps + "/sheet.TMP";
        rvl = maps + "/sheet.RVL";
        record = tmp.file("launched");
    }

    // A stand-in launcher in the start folder that notes its arguments and whether the work
    // image was there, then exits with `code`.
    void stubLauncher(int code)
    {
        const std::string path = start + "/trelvex";
        testutil::writeBytes(path, "#!/bin/sh\nprintf '%s|%s|%s\\n' \"$1\" \"$2\" \"$(test -f \"$1\" && echo seen)\" >> '" +
                                       record + "'\nexit " + std::to_string(code) + "\n");
        ::chmod(path.c_str(), 0755);
    }

    std::string launches() const { return testutil::readBytes(record); }

    std::string maps, raster, tmpPath, rvl, record;
};

TEST_F(TraceTest, TheLauncherGetsTheWorkImageAndTheRvlPathAndTheWorkImageGoes)
{
    for (int code : {0, 1}) {
        SCOPED_TRACE(code);
        fs::remove(record);
        writeRaster(raster);
        stubLauncher(code);
        tracePreprocess(raster);
        EXPECT_EQ(launches(), tmpPath + "|" + rvl + "|seen\n");
        EXPECT_FALSE(fs::exists(tmpPath));
        EXPECT_TRUE(fs::exists(raster));
        EXPECT_TRUE(messages().empty());
    }
}

TEST_F(TraceTest, NothingIsLaunchedWhenNoWorkImageCanBeMade)
{
    stubLauncher(0);
    struct Case {
        const char* what;
        std::function<std::string()> prepare; // returns the raster path to pre-process
        std::string message;
    };
    const Case cases[] = {
        {"missing raster", [&] { return raster; }, "イメージファイルが見つかりません(" + raster + ")"},
        {"not a raster", [&] { fs::create_directories(maps); testutil::writeBytes(raster, "text"); return raster; },
         "ワーク用ファイルを作成できません"},
        {"a folder at the work image's path", [&] { writeRaster(raster); fs::create_directories(tmpPath); return raster; },
         "ワーク用ファイルを作成できません"},
        {"a raster named like its work image", [&] { writeRaster(maps + "/x.TMP"); return maps + "/x.TMP"; },
         "ワーク用ファイルを作成できません"},
        {"a raster named like its line work", [&] { writeRaster(maps + "/y.RVL"); return maps + "/y.RVL"; },
         "ワーク用ファイルを作成できません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::clearRecorded();
        const std::string path = c.prepare();
        const std::string before = testutil::readBytes(path);
        tracePreprocess(path);
        EXPECT_EQ(messages(), std::vector<std::string>{c.message});
        EXPECT_EQ(testutil::readBytes(path), before);
    }
    EXPECT_TRUE(fs::is_directory(tmpPath)); // the folder is none of ours
    EXPECT_FALSE(fs::exists(maps + "/sheet.RVL"));
    EXPECT_EQ(launches(), "");
}

TEST_F(TraceTest, TheLauncherInTheStartFolderComesFirst)
{
    EXPECT_EQ(startTrelvexPath(), tmp.file("nowhere") + "/trelvex");
    stubLauncher(0);
    EXPECT_EQ(startTrelvexPath(), start + "/trelvex");
}

TEST_F(TraceTest, TheRealLauncherWritesTheSampleSheetsLineWork)
{
    startSetFolders(NURIVO_BIN_DIR); // trelvex and libquillan.so beside the program
    ASSERT_TRUE(fs::exists(std::string(NURIVO_BIN_DIR) + "/trelvex"));
    fs::create_directories(maps);
    fs::copy_file(std::string(NURIVO_SOURCE_DIR) + "/samples/sample-sheet.tif", raster);
    tracePreprocess(raster);
    EXPECT_FALSE(fs::exists(tmpPath));
    ASSERT_TRUE(fs::exists(rvl));
    EXPECT_GT(fs::file_size(rvl), 1000u);
    EXPECT_TRUE(messages().empty());
}
