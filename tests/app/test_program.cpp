// The program as a process: exit codes, its messages and settings, and the installed layout.
#include "app_fixture.h"
#include "render/imaging.h"

#include <QProcess>
#include <QProcessEnvironment>

namespace fs = std::filesystem;

class ProgramTest : public AppFixture {
protected:
    // Runs `program` in `folder` with the scripted dialogs logging to a file; its exit code.
    int run(const std::string& program, const QStringList& args, const std::string& folder)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("NURIVO_UI", "scripted");
        env.insert("NURIVO_UI_LOG", QString::fromStdString(log()));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QString::fromStdString(folder));
        p.start(QString::fromStdString(program), args);
        EXPECT_TRUE(p.waitForFinished(60000)) << program;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        return p.exitCode();
    }

    std::string log() const { return tmp.file("ui.log"); }
    std::vector<std::string> logged() const
    {
        std::vector<std::string> texts;
        for (const ui::Record& r : ui::readLog(log()))
            texts.push_back(r.text);
        return texts;
    }

    const std::string nurivo = std::string(NURIVO_BIN_DIR) + "/nurivo";
};

TEST_F(ProgramTest, AnUnlistedKindEndsWithItsMessageAndNoSettingsWritten)
{
    EXPECT_EQ(run(nurivo, {"7", "0", "0", "d", "e", "f", "g", "h.tif"}, start), 0);
    EXPECT_EQ(logged(), std::vector<std::string>{"APL:未定義アプリです。"});
    EXPECT_FALSE(fs::exists(settingsFile()));
}

TEST_F(ProgramTest, AMissingRasterIsReportedAndTheSettingsAreSaved)
{
    const QString here = QString::fromStdString(start);
    EXPECT_EQ(run(nurivo, {"2", "0", "1", here, here, here, ".", "missing.tif"}, start), 0);
    EXPECT_EQ(logged(), std::vector<std::string>{"指定したラスタファイルが見つかりません"});
    EXPECT_TRUE(fs::exists(settingsFile()));
}

TEST_F(ProgramTest, TheInstalledProgramsFindEachOtherFromAnyStartFolder)
{
    const std::string prefix = tmp.file("prefix");
    QProcess install;
    install.start(NURIVO_CMAKE, {"--install", NURIVO_BUILD_DIR, "--prefix", QString::fromStdString(prefix)});
    ASSERT_TRUE(install.waitForFinished(60000));
    ASSERT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    const std::string bin = prefix + "/bin";
    for (const char* name : {"nurivo", "trelvex", "libquillan.so", "RozedAdo.tif"})
        EXPECT_TRUE(fs::exists(bin + "/" + name)) << name;

    // The start folder holds none of them.
    EXPECT_EQ(run(bin + "/nurivo", {"7"}, start), 0);
    EXPECT_EQ(logged().size(), 1u);

    const std::string sheet = tmp.file("sheet.tif");
    fs::copy_file(std::string(NURIVO_SOURCE_DIR) + "/samples/sample-sheet.tif", sheet);
    ASSERT_NE(imgConvertTo1BitBmp(sheet, tmp.file("sheet.TMP"), 128), 0);
    EXPECT_EQ(run(bin + "/trelvex", {QString::fromStdString(tmp.file("sheet.TMP")),
                                     QString::fromStdString(tmp.file("sheet.RVL"))}, start), 0);
    EXPECT_TRUE(fs::exists(tmp.file("sheet.RVL")));
    EXPECT_EQ(logged().size(), 1u); // trelvex reported nothing
}
