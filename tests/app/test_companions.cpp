// Files that a save would write over the raster or over another layer's file: the program does
// not open such a drawing for editing, and the workbench never writes them.
#include "app_fixture.h"
#include "../workbench/wbfixture.h"
#include "dialogs/defsakuzu.h"
#include "model/pdata.h"
#include "shell/frmnvmain.h"
#include "shell/frmnvmain0.h"
#include "workbench/frmkxinput.h"
#include "workbench/inputpos.h"
#include "workbench/qrvdetail.h"

#include <QTest>
#include <QTimer>

namespace fs = std::filesystem;

namespace {

// Bytes a save of ours never writes (LF line ends): any save shows.
const std::string figuresOnDisk = "0 4\n";
const std::string listOnDisk = "1 1\n1\tx\t255\t2\t1\t0\n";

} // namespace

class Companions : public AppFixture {
protected:
    // Runs the program on a command line as another application starts it. A workbench that
    // opens is ended with "終了", "はい", as the operator would; the result is how many opened.
    int runProgram(const std::vector<std::string>& args)
    {
        cmdArgs = args;
        cmdLine.clear();
        for (const std::string& a : args)
            cmdLine += (cmdLine.empty() ? "" : " ") + a;
        // The forms made at start that a workbench reaches.
        frmNVMainCreate();
        defSakuzuCreate();
        qrvDetailCreate();
        inputPosCreate();
        int opened = 0;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* bench = qobject_cast<TFrm_KXInput*>(QApplication::activeModalWidget());
            if (!bench || !bench->isVisible())
                return;
            if (++opened == 1) {
                ui::scriptAnswer(ui::Answer::Yes);
                bench->Btn_Exit->click();
            }
            if (bench->isVisible())
                bench->done(2);
        });
        poll.start();
        bool closed = false;
        {
            TFrm_NVMain0 form;
            QObject::connect(&form, &TFrm_NVMain0::formClosed, [&closed] { closed = true; });
            form.show();
            EXPECT_TRUE(QTest::qWaitFor([&] { return closed || form.Timer1->isActive(); }, 3000));
            if (form.Timer1->isActive())
                form.Timer1Timer();
            EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 3000));
        }
        inputPosDestroy();
        qrvDetailDestroy();
        defSakuzuDestroy();
        frmNVMainDestroy();
        return opened;
    }
};

TEST_F(Companions, LayersWhoseFilesLeadToOneFileAreNamedAndNothingOpens)
{
    struct Case {
        const char* what;
        int kind;
        std::vector<std::string> layers;
        const char* sub;
        std::vector<std::string> shared; // under the case's folder, there before the run
        std::vector<std::string> clashes;
    };
    const Case cases[] = {
        {"a sub-folder of \"..\"", 5, {"A", "B"}, "..", {"base/sheet.ZKI"},
         {"レイヤ「A」とレイヤ「B」の図形ファイルが同じです(@/base/B/../sheet.ZKI)"}},
        {"\"./A\"", 2, {"A", "./A"}, "sub", {"base/A/sub/sheet.ZKI", "data/A/LayerDef.Txt"},
         {"レイヤ「A」とレイヤ「./A」の図形ファイルが同じです(@/base/./A/sub/sheet.ZKI)",
          "レイヤ「A」とレイヤ「./A」のレイヤ定義ファイルが同じです(@/data/./A/LayerDef.Txt)"}},
        {"\"A/\"", 2, {"A", "A/"}, "sub", {"base/A/sub/sheet.ZKI", "data/A/LayerDef.Txt"},
         {"レイヤ「A」とレイヤ「A/」の図形ファイルが同じです(@/base/A//sub/sheet.ZKI)",
          "レイヤ「A」とレイヤ「A/」のレイヤ定義ファイルが同じです(@/data/A//LayerDef.Txt)"}},
        {"\"A//\"", 2, {"A", "A//"}, "sub", {"base/A/sub/sheet.ZKI", "data/A/LayerDef.Txt"},
         {"レイヤ「A」とレイヤ「A//」の図形ファイルが同じです(@/base/A///sub/sheet.ZKI)",
          "レイヤ「A」とレイヤ「A//」のレイヤ定義ファイルが同じです(@/data/A///LayerDef.Txt)"}},
        {"\"./\" against the figure layer", 2, {"./"}, "sub", {"base/sub/sheet.ZKI", "data/LayerDef.Txt"},
         {"レイヤ「図形等」とレイヤ「./」の図形ファイルが同じです(@/base/.//sub/sheet.ZKI)",
          "レイヤ「図形等」とレイヤ「./」のレイヤ定義ファイルが同じです(@/data/.//LayerDef.Txt)"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startReset();
        ui::clearRecorded();
        const std::string root = tmp.file("case" + std::to_string(++n));
        std::string def = std::string(c.kind == 5 ? "QuorelR" : "QuorelR2") + " .\n" + std::to_string(c.layers.size()) + "\n";
        for (size_t i = 0; i < c.layers.size(); ++i)
            def += std::to_string(i + 1) + " " + c.layers[i] + "\n";
        writeText(root + (c.kind == 5 ? "/def/QuorelR.def" : "/def/QuorelR2.def"), "0 " + def);
        for (const std::string& name : c.layers)
            writeText(root + "/data/" + name + ".txt", "1\t2\n整理番号\t種別\n");
        const bool up = std::string(c.sub) == "..";
        writeRaster(up ? root + "/sheet.tif" : root + "/base/" + c.sub + "/sheet.tif");
        fs::create_directories(root + "/base");
        for (const std::string& f : c.shared) {
            fs::create_directories(fs::path(root + "/" + f).parent_path());
            testutil::writeBytes(root + "/" + f, f.ends_with(".ZKI") ? figuresOnDisk : listOnDisk);
        }

        EXPECT_EQ(runProgram({std::to_string(c.kind), std::to_string(c.layers.size()), "0", root + "/def",
                              root + "/data", root + "/base", c.sub, "sheet.tif"}),
                  0);
        std::string expected;
        for (const std::string& line : c.clashes) {
            std::string text = line;
            text.replace(text.find('@'), 1, root);
            expected += text + "\n";
        }
        EXPECT_EQ(messages(), std::vector<std::string>{expected + "図面を開けません"});
        for (const std::string& f : c.shared)
            EXPECT_EQ(testutil::readBytes(root + "/" + f), f.ends_with(".ZKI") ? figuresOnDisk : listOnDisk) << f;
    }
}

TEST_F(Companions, ARasterThatIsItsOwnFigureOrDefFileIsNeverOpenedForEditing)
{
    struct Case {
        const char* what;
        const char* raster; // a TIFF, whatever its name
        const char* link;   // another name of it: "=" a hard link, "~" a symbolic one
        std::string clash;
    };
    const Case cases[] = {
        {"named .ZKI", "scan.ZKI", "", "レイヤ「図形等」の図形ファイルがラスタファイルと同じです(@/./scan.ZKI)"},
        {"named .Def", "scan.Def", "", "画像定義ファイルがラスタファイルと同じです(@/./scan.Def)"},
        {"its figure file a hard link", "scan.tif", "=scan.ZKI",
         "レイヤ「図形等」の図形ファイルがラスタファイルと同じです(@/./scan.ZKI)"},
        {"its Def file a symbolic link", "scan.tif", "~scan.Def", "画像定義ファイルがラスタファイルと同じです(@/./scan.Def)"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startReset();
        ui::clearRecorded();
        const std::string d = tmp.file("sheets" + std::to_string(++n));
        writeRaster(d + "/" + c.raster);
        const std::string link = c.link;
        if (link.starts_with("="))
            fs::create_hard_link(d + "/" + c.raster, d + "/" + link.substr(1));
        else if (link.starts_with("~"))
            fs::create_symlink(c.raster, d + "/" + link.substr(1));
        const std::string image = testutil::readBytes(d + "/" + c.raster);

        EXPECT_EQ(runProgram({"2", "0", "0", d, d, d, ".", c.raster}), 0);
        std::string clash = c.clash;
        clash.replace(clash.find('@'), 1, d);
        EXPECT_EQ(messages(), std::vector<std::string>{clash + "\n図面を開けません"});
        EXPECT_EQ(testutil::readBytes(d + "/" + c.raster), image);
    }
}

TEST_F(Companions, TheWorkbenchSavesEveryFileButTheRasterAndAnEarlierLayersFile)
{
    struct Case {
        const char* what;
        std::function<void(wbtest::Sheet&)> make;
        std::string clash; // "@" stands for the sheet's folder
        std::vector<std::string> written;
    };
    const Case cases[] = {
        {"the figure layer's file a hard link of the raster",
         [](wbtest::Sheet& s) { fs::create_hard_link(s.dir.file("sheet.png"), s.dir.file("sheet.ZKI")); },
         "レイヤ「図形等」の図形ファイルがラスタファイルと同じです(@/sheet.ZKI)",
         {"sheet-1.ZKI", "sheet.Def"}},
        {"a reference layer's file a symbolic link to it",
         [](wbtest::Sheet& s) { fs::create_symlink("sheet.png", s.dir.file("sheet-1.ZKI")); },
         "レイヤ「参照1」の図形ファイルがラスタファイルと同じです(@/sheet-1.ZKI)",
         {"sheet.ZKI", "sheet.Def"}},
        {"the Def file a hard link of it",
         [](wbtest::Sheet& s) { fs::create_hard_link(s.dir.file("sheet.png"), s.dir.file("sheet.Def")); },
         "画像定義ファイルがラスタファイルと同じです(@/sheet.Def)",
         {"sheet.ZKI", "sheet-1.ZKI"}},
        {"a reference layer's file the figure layer's",
         [](wbtest::Sheet& s) { s.drawing.zkiPath[1] = s.dir.path() + "/./sheet.ZKI"; },
         "レイヤ「図形等」とレイヤ「参照1」の図形ファイルが同じです(@/./sheet.ZKI)",
         {"sheet.ZKI", "sheet.Def"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wbtest::resetWorkbench();
        wbtest::Sheet sheet{2};
        sheet.load(0);
        sheet.store(0).PD_AddPoly(0, wbtest::polygon("a", 10, 10, 10));
        sheet.store(1).PD_AddPoly(0, wbtest::polygon("7", 30, 10, 10));
        c.make(sheet);
        const std::string image = testutil::readBytes(sheet.dir.file("sheet.png"));
        testutil::MessageRecorder msgs;
        auto form = std::make_unique<TFrm_KXInput>();
        form->openOn(&sheet.drawing);
        form->show();
        ui::scriptAnswer(ui::Answer::Yes);
        form->Btn_Exit->click();

        EXPECT_TRUE(form->isVisible()); // nothing is lost: the figures can still be kept
        std::string clash = c.clash;
        clash.replace(clash.find('@'), 1, sheet.dir.path());
        EXPECT_EQ(msgs.messages, std::vector<std::string>{clash + "\n保存できません"});
        EXPECT_EQ(testutil::readBytes(sheet.dir.file("sheet.png")), image);
        for (const std::string& f : c.written)
            EXPECT_TRUE(fs::is_regular_file(sheet.dir.file(f))) << f;
        PData figures;
        figures.useNames = 1;
        if (c.written[0] == "sheet.ZKI") {
            ASSERT_EQ(figures.PD_LoadFile(sheet.dir.file("sheet.ZKI"), 0), 1);
            EXPECT_EQ(figures.PD_GetPoly(0).name, "a"); // the figure layer's own figure
        }
        form->done(2);
    }
    wbtest::resetWorkbench();
    layTblCreate(1);
}

TEST_F(Companions, TheWorkbenchsPositionDialogNeverWritesTheRasterAsItsDefFile)
{
    wbtest::resetWorkbench();
    wbtest::Sheet sheet;
    sheet.load(0);
    fs::create_hard_link(sheet.dir.file("sheet.png"), sheet.dir.file("sheet.Def"));
    const std::string image = testutil::readBytes(sheet.dir.file("sheet.png"));
    wbDialogs().showDefImg = [](const std::string&, const std::string&, TImgDef*) { return 2; }; // 確定
    testutil::MessageRecorder msgs;
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.show();
    form.Btn_DefZumen->click();
    EXPECT_EQ(msgs.messages, std::vector<std::string>{"画像定義ファイルがラスタファイルと同じです(" +
                                                      sheet.dir.file("sheet.Def") + ")\n保存できません"});
    EXPECT_EQ(testutil::readBytes(sheet.dir.file("sheet.png")), image);
    wbtest::resetWorkbench();
}
