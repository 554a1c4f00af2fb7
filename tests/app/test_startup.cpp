// Start-up: the command line, the application kinds, the banner and the hand-off to the
// picker or to the command-line run.
#include "app_fixture.h"
#include "model/kxtbl.h"
#include "shell/frmnvmain0.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct Handoff {
    int picker = 0;
    std::vector<std::pair<int, int>> opens; // directPrint, openMode
    bool closed = false;
    std::string caption;
    std::string banner;
};

} // namespace

class StartupTest : public AppFixture {
protected:
    static void storeSetting(const std::string& name, const std::string& text)
    {
        auto key = registryCreateKey();
        ASSERT_TRUE(key->openKey(kxRegistryKey, true));
        key->writeText(name, text);
        ASSERT_TRUE(key->commit());
    }

    // Runs the start-up form on the arguments; with `realTimer` the hand-off waits for the
    // form's own timer, else it is triggered as soon as the timer is armed.
    Handoff run(const std::vector<std::string>& args, bool realTimer = false)
    {
        cmdArgs = args;
        for (const std::string& a : args)
            cmdLine += (cmdLine.empty() ? "" : " ") + a;
        Handoff h;
        ShellEntries& e = shellEntries();
        e.frmNVMainShowModal = [&h] {
            ++h.picker;
            return 2;
        };
        e.startOpenRaster = [&h](int directPrint, int openMode) { h.opens.emplace_back(directPrint, openMode); };

        TFrm_NVMain0 form;
        QObject::connect(&form, &TFrm_NVMain0::formClosed, [&h] { h.closed = true; });
        form.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return h.closed || form.Timer1->isActive(); }, 3000));
        h.caption = form.windowTitle().toStdString();
        h.banner = form.StaticText1->text().toStdString();
        if (form.Timer1->isActive() && !realTimer)
            form.Timer1Timer();
        EXPECT_TRUE(QTest::qWaitFor([&] { return h.closed; }, 3000));
        EXPECT_FALSE(form.isVisible());
        return h;
    }
};

TEST_F(StartupTest, NoArgumentsShowsTheBannerThenThePickerAndSavesTheSettings)
{
    QElapsedTimer clock;
    clock.start();
    Handoff h = run({}, true);
    EXPECT_GE(clock.elapsed(), 900); // the banner stays for its second
    EXPECT_EQ(h.caption, "ベルノア起動");
    EXPECT_EQ(h.banner, "ベルノアを起動します。");
    EXPECT_EQ(h.picker, 1);
    EXPECT_TRUE(h.opens.empty());
    EXPECT_EQ(aplGetKind(), 1);
    EXPECT_EQ(firstActivation, 0);
    ASSERT_EQ(layTblGetCount(), 1);
    EXPECT_EQ(layTblGet(0)->name, "図形等");
    // No data folder: the home folder's list, never one in the root folder.
    EXPECT_EQ(layTblGet(0)->layerDefPath, home + "/LayerDef.Txt");
    EXPECT_EQ(startDir, start);
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));
    EXPECT_TRUE(messages().empty());
}

TEST_F(StartupTest, CommandLinesPickTheRoad)
{
    struct Case {
        const char* what;
        std::vector<std::string> args;
        int picker;
        std::vector<std::pair<int, int>> opens;
        int kind, layerMax, openMode, directPrint;
        const char* dataDir;
    };
    const std::string spaced = tmp.file("my data");
    const Case cases[] = {
        {"kind 1 ignores its texts", {"1", "3", "1", "d", "e", "f", "g", "h.tif"}, 1, {}, 1, 3, 1, 0, ""},
        {"10 + n asks for printing", {"2", "12", "1", "d", "e", "f", "g", "h.tif"}, 0, {{1, 1}}, 2, 2, 1, 1, "e"},
        {"kind 12 is accepted", {"12", "0", "0", "d", "e"}, 0, {{0, 0}}, 12, 0, 0, 0, "e"},
        {"not a number stops the parse", {"abc", "2", "1", "d", "e"}, 1, {}, 1, 0, 0, 0, ""},
        {"a second field that is no number", {"2", "x", "1", "d", "e"}, 0, {{0, 0}}, 2, 0, 0, 0, ""},
        // "12x" gives its number, and the parse stops at the text right after it.
        {"a number run into text", {"2", "12x", "1", "d", "e"}, 0, {{1, 0}}, 2, 2, 0, 1, ""},
        {"a path with a blank stays whole", {"101", "0", "1", "d", spaced, "f", ".", "r.tif"}, 0, {{0, 1}}, 101, 0, 1, 0, spaced.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        startReset();
        ui::clearRecorded();
        Handoff h = run(c.args);
        EXPECT_EQ(h.picker, c.picker);
        EXPECT_EQ(h.opens, c.opens);
        EXPECT_EQ(aplGetKind(), c.kind);
        EXPECT_EQ(cmdLayerMax, c.layerMax);
        EXPECT_EQ(cmdOpenMode, c.openMode);
        EXPECT_EQ(cmdDirectPrint, c.directPrint);
        EXPECT_EQ(cmdDataDir, c.dataDir);
        EXPECT_TRUE(messages().empty());
    }
    EXPECT_EQ(cmdBaseDir, "f");
    EXPECT_EQ(cmdRasterName, "r.tif");
    EXPECT_EQ(layTblGet(0)->layerDefPath, spaced + "/LayerDef.Txt");
}

TEST_F(StartupTest, AnUnlistedKindIsRefusedWithoutWritingTheSettings)
{
    // The definition file of every unlisted kind is still read: it builds the layer set.
    const std::string defs = tmp.file("defs");
    writeText(defs + "/Quorel 未定義アプリ？.def", "0 表 .\n3\n7 道路\n");
    storeSetting("DBDir", "/somewhere");
    const std::string before = testutil::readBytes(settingsFile());

    Handoff h = run({"7", "1", "0", defs, tmp.file("data"), "b", "s", "r.tif"});
    EXPECT_TRUE(h.closed);
    EXPECT_EQ(h.picker, 0);
    EXPECT_TRUE(h.opens.empty());
    EXPECT_EQ(messages(), std::vector<std::string>{"APL:未定義アプリです。"});
    EXPECT_EQ(firstActivation, 1);
    ASSERT_EQ(layTblGetCount(), 2);
    EXPECT_EQ(layTblGet(1)->name, "道路");
    EXPECT_EQ(testutil::readBytes(settingsFile()), before);
}

TEST_F(StartupTest, TheDisplayNameComesFromTheKindsOwnDefinitionFile)
{
    // CurDataDir is joined to the name as it stands, so it ends in a separator.
    const std::string cur = tmp.file("cur") + "/";
    storeSetting("CurDataDir", cur);
    writeText(cur + "QuorelR2.def", "0\t地籍図\t.\n");
    writeText(cur + "Quorel 未定義アプリ？.def", "0\t未定義\t.\n");
    run({"2", "0", "0", "d", "e", "f", "g", "h.tif"});
    EXPECT_EQ(cfgGetAppKindName(), "地籍図");
}

TEST_F(StartupTest, AnExceptionOnTheRoadIsShownAndTheProgramStillEnds)
{
    Handoff h;
    shellEntries().startOpenRaster = [](int, int) { throw std::bad_alloc(); };
    cmdArgs = {"2", "0", "0", "d", "e", "f", "g", "h.tif"};
    cmdLine = "2 0 0 d e f g h.tif";
    TFrm_NVMain0 form;
    QObject::connect(&form, &TFrm_NVMain0::formClosed, [&h] { h.closed = true; });
    form.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Timer1->isActive(); }, 3000));
    form.Timer1Timer();
    EXPECT_TRUE(h.closed);
    ASSERT_EQ(messages().size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(settingsFile()));
}

TEST_F(StartupTest, TheBannerIsLaidOutAsDesigned)
{
    TFrm_NVMain0 form;
    EXPECT_EQ(form.size(), QSize(432, 140));
    EXPECT_EQ(form.windowTitle(), "ベルノア起動");
    auto* label = form.findChild<QLabel*>("StaticText1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->geometry(), QRect(52, 40, 227, 25));
    EXPECT_EQ(label->font().pixelSize(), 21);
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::red));
    auto* timer = form.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
}

// "ノアベル" names the application, and no form's caption gets it appended: a display name,
// once set, is what X11 adds to every title ("確認 — ノアベル"); without one the display name
// follows the application's name.
TEST_F(StartupTest, TheApplicationTitleNamesTheProgramNotEachCaption)
{
    const QString before = QCoreApplication::applicationName();
    startSetAppTitle();
    EXPECT_EQ(QCoreApplication::applicationName(), QStringLiteral("ノアベル"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("ノアベル"));
    QCoreApplication::setApplicationName(QStringLiteral("other"));
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), QStringLiteral("other"));
    QCoreApplication::setApplicationName(before);
}
