#include "platform/paths.h"

#include <gtest/gtest.h>

TEST(Paths, CompanionAndLayerDefinitionNames)
{
    EXPECT_EQ(pathChangeExt("/a.b/map", "Def"), "/a.b/map.Def");
    EXPECT_EQ(pathChangeExt("/x/map.tiff", ".RVL"), "/x/map.RVL");
    EXPECT_EQ(pathChangeExt("/maps/sheet01.tif", "ZKI"), "/maps/sheet01.ZKI");
    EXPECT_EQ(pathChangeExt("sheet.v2.png", "TMP"), "sheet.v2.TMP");
    EXPECT_EQ(pathLayerDefFileName("/d/", ""), "/d/LayerDef.Txt");
    EXPECT_EQ(pathLayerDefFileName("/d/", "道路"), "/d/LayerDef-道路.Txt");
    EXPECT_EQ(pathLayerDefPath("/d/sheet.tif"), "/d/LayerDef.Txt");
    EXPECT_EQ(pathLayerDefPath("/d/"), "/d/LayerDef.Txt");
    EXPECT_EQ(pathLayerDefPath("/"), "/LayerDef.Txt");
    EXPECT_EQ(pathJoin("/d", "x"), "/d/x");
    EXPECT_EQ(pathJoin("/d/", "x"), "/d/x");
}

#include "testutil.h"

#include <filesystem>

TEST(Paths, SameFileComparesWhereThePathsReallyLead)
{
    namespace fs = std::filesystem;
    testutil::TempDir dir;
    const std::string d = dir.path();
    fs::create_directories(d + "/A/sub");
    testutil::writeBytes(d + "/A/sub/f.ZKI", "x");
    testutil::writeBytes(d + "/raster.tif", "image");
    testutil::writeBytes(d + "/other.tif", "image");
    fs::create_hard_link(d + "/raster.tif", d + "/hard.ZKI");
    fs::create_symlink("raster.tif", d + "/soft.Def");
    fs::create_symlink(d + "/A/new.ZKI", d + "/dangling.ZKI");
    fs::create_symlink("loop2", d + "/loop1");
    fs::create_symlink("loop1", d + "/loop2");
    const fs::path before = fs::current_path();
    fs::current_path(d);
    const struct Case {
        std::string a, b;
        bool same;
    } cases[] = {
        {d + "/A/sub/f.ZKI", d + "/./A/sub/f.ZKI", true},
        {d + "/A/sub/f.ZKI", d + "/A//sub/f.ZKI", true},
        {d + "/A/sub/f.ZKI", d + "/A/sub/../sub/f.ZKI", true},
        {d + "/A/sub/f.ZKI", "A/sub/f.ZKI", true},                   // relative to the current folder
        {d + "/A/missing.ZKI", d + "/A/sub/../missing.ZKI", true},    // not there yet
        {d + "/B/x/../missing.ZKI", d + "/B/missing.ZKI", true},      // nor its folder
        {d + "/raster.tif", d + "/hard.ZKI", true},                   // hard link
        {d + "/raster.tif", d + "/soft.Def", true},                   // symbolic link
        {d + "/A/new.ZKI", d + "/dangling.ZKI", true},                // a save through it makes A/new.ZKI
        {d + "/raster.tif", d + "/other.tif", false},                 // equal bytes, two files
        {d + "/A/sub/f.ZKI", d + "/A/sub/f.zki", false},
        {d + "/A/missing.ZKI", d + "/missing.ZKI", false},
        {d + "/loop1", d + "/loop2", false},                          // leads nowhere
        {"", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " | " + c.b);
        EXPECT_EQ(pathSameFile(c.a, c.b), c.same);
        EXPECT_EQ(pathSameFile(c.b, c.a), c.same);
    }
    EXPECT_EQ(pathRealLocation(d + "/./A//sub/../sub/f.ZKI"), fs::canonical(d + "/A/sub/f.ZKI").string());
    EXPECT_EQ(pathRealLocation(d + "/loop1"), "");
    fs::current_path(before);
}
