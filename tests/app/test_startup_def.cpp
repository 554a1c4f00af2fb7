// The layer set that start-up builds from the application definition file and the data folder.
#include "app_fixture.h"

namespace fs = std::filesystem;

class DefinitionTest : public AppFixture {
protected:
    void SetUp() override
    {
        AppFixture::SetUp();
        defs = tmp.file("defs");
        data = tmp.file("data");
        fs::create_directories(data);
    }

    // The command-line road for `kind` with the layer maximum, as start-up runs it.
    void build(int kind, int layerMax, const std::string& def)
    {
        startReset();
        startSetFolders("");
        aplSetKind(kind);
        writeText(defs + "/" + aplGetName() + ".def", def);
        std::string folder = startParseFields({std::to_string(kind), std::to_string(layerMax), "0",
                                               defs, data, "base", "sub", "r.tif"});
        aplSetKind(cmdAplKind);
        ui::clearRecorded();
        recorder.reset(); // the old recorder puts back the sink it replaced
        recorder = std::make_unique<testutil::MessageRecorder>();
        startBuildLayerSet(false, folder);
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (int i = 0; i < layTblGetCount(); ++i)
            out.push_back(layTblGet(i)->name);
        return out;
    }

    std::string defs, data;
    std::unique_ptr<testutil::MessageRecorder> recorder;
};

TEST_F(DefinitionTest, TheLayerMaximumAndTheFileDecideTheLayers)
{
    using V = std::vector<std::string>;
    struct Case {
        const char* what;
        int layerMax;
        std::string def;
        V layers;
        const char* base;
        size_t messages;
    };
    const Case cases[] = {
        {"count 5, maximum 2", 2, "1 表 .\n1 題\n5\n11 道路\n12 水路\n13 建物\n14 a\n15 b\n",
         {"図形等", "道路", "水路"}, "base", 0},
        // With no maximum the count line is not read: a layer line right after the titles
        // would be taken as the count otherwise.
        {"maximum 0", 0, "0 表 .\n11 道路\n", {"図形等"}, "base", 0},
        {"override", 1, "0 表 /elsewhere\n1\n11 道路\n", {"図形等", "道路"}, "/elsewhere", 0},
        {"short line 1", 3, "0\n3\n11 道路\n", {"図形等", "道路"}, "base", 0},
        {"file ends after line 1", 3, "2 表 .\n", {"図形等"}, "base", 0},
        {"six layers", 6, "0 表 .\n6\n1 a\n2 b\n3 c\n4 d\n5 e\n6 f\n", {"図形等", "a", "b", "c", "d"}, "base", 1},
        // A nameless layer would share the figure layer's folders and files.
        {"a layer line without a name", 3, "0 表 .\n3\n11\n12 水路\n\n", {"図形等", "水路"}, "base", 0},
        {"tabs separate too", 1, "0\t表\t.\n1\n11\t道路\n", {"図形等", "道路"}, "base", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        build(akQuorelR2, c.layerMax, c.def);
        EXPECT_EQ(names(), c.layers);
        EXPECT_EQ(cmdBaseDir, c.base);
        // One "Can't Open" per missing reference table, and the note on too many layers.
        EXPECT_EQ(recorder->messages.size(), c.messages + size_t(layTblGetCount() - 1));
        EXPECT_EQ(qrvGetTableCount(), layTblGetCount() - 1);
    }
    EXPECT_EQ(layTblGet(1)->id, 11);
}

TEST_F(DefinitionTest, KindFiveKeepsReferenceListsInTheDataFolder)
{
    build(akQuorelR, 2, "0 表 .\n2\n11 道路\n12 水路\n");
    EXPECT_EQ(layTblGet(1)->layerDefPath, data + "/LayerDef-道路.Txt");
    EXPECT_FALSE(fs::exists(data + "/道路"));

    build(akQuorelR2, 2, "0 表 .\n2\n11 道路\n12 水路\n");
    EXPECT_EQ(layTblGet(1)->layerDefPath, data + "/道路/LayerDef.Txt");
    EXPECT_EQ(layTblGet(2)->id, 12);
    EXPECT_TRUE(fs::is_directory(data + "/道路"));
    EXPECT_TRUE(fs::is_directory(data + "/水路"));
}

TEST_F(DefinitionTest, ReferenceTablesAndListsAreLoadedPerLayer)
{
    writeText(data + "/道路.txt", "1\t1\t1\n番号\t名称\t種別\n3\t県道\t1\n7\t国道\t2\n");
    writeText(data + "/道路/LayerDef.Txt", "1 1\n5\t国道\t255\t2\t1\t0\n");
    build(akQuorelR2, 1, "0 表 .\n1\n11 道路\n");
    EXPECT_EQ(qrvGetRecordCount(0), 2);
    EXPECT_EQ(qrvFindRecord(0, 7), 1);
    EXPECT_EQ(layTblGet(1)->layer->layerGetCount(), 1);
    EXPECT_EQ(layTblGet(1)->layer->layerGet(0).name, "国道");
    EXPECT_TRUE(recorder->messages.empty());
}

TEST_F(DefinitionTest, TheFigureListFallsBackToTheStartFolderButKeepsTheDataFolderPath)
{
    writeText(start + "/LayerDef.Txt", "1 1\n9\t起動側\t0\t1\t1\t1\n");
    build(akQuorelR2, 0, "0 表 .\n");
    EXPECT_EQ(layTblGet(0)->layerDefPath, data + "/LayerDef.Txt");
    EXPECT_EQ(layTblGet(0)->layer->layerGet(0).name, "起動側");

    writeText(data + "/LayerDef.Txt", "1 1\n3\t道路\t0\t1\t1\t1\n");
    build(akQuorelR2, 0, "0 表 .\n");
    EXPECT_EQ(layTblGet(0)->layer->layerGet(0).name, "道路");
}

TEST_F(DefinitionTest, StandAloneUsesTheHomeFoldersListBeforeTheStartFolders)
{
    writeText(start + "/LayerDef.Txt", "1 1\n9\t起動側\t0\t1\t1\t1\n");
    startSetFolders("");
    aplSetKind(akColouring);
    startBuildLayerSet(true, "");
    EXPECT_EQ(layTblGet(0)->layerDefPath, home + "/LayerDef.Txt");
    EXPECT_EQ(layTblGet(0)->layer->layerGet(0).name, "起動側");

    writeText(home + "/LayerDef.Txt", "1 1\n4\t自宅側\t0\t1\t1\t1\n");
    startBuildLayerSet(true, "");
    EXPECT_EQ(layTblGet(0)->layer->layerGet(0).name, "自宅側");
    EXPECT_EQ(layTblGetCount(), 1);
}

TEST_F(DefinitionTest, AMissingDefinitionFileGivesTheFigureLayerOnly)
{
    startSetFolders("");
    startParseFields({"3", "4", "0", tmp.file("nowhere"), data, "base", "sub", "r.tif"});
    aplSetKind(cmdAplKind);
    testutil::MessageRecorder rec;
    startBuildLayerSet(false, tmp.file("nowhere"));
    EXPECT_EQ(layTblGetCount(), 1);
    EXPECT_EQ(cmdBaseDir, "base");
    EXPECT_TRUE(rec.messages.empty());
    EXPECT_TRUE(ui::recorded().empty());
}

TEST_F(DefinitionTest, ThePlaceholderIsTheStartFoldersElseTheProgramFolders)
{
    startSetFolders("/opt/nurivo/bin");
    EXPECT_EQ(placeholderImagePath, "/opt/nurivo/bin/RozedAdo.tif");
    testutil::writeBytes(start + "/RozedAdo.tif", "x");
    startSetFolders("/opt/nurivo/bin");
    EXPECT_EQ(placeholderImagePath, start + "/RozedAdo.tif");
    EXPECT_EQ(startGetDir(), start);
}
