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
