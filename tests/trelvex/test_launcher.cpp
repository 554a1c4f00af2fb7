// The launcher as a process: a copy of trelvex runs in a folder of its own, beside the library
// each case needs, with the scripted dialogs logging every message.
#include "launcher.h"
#include "platform/ui.h"
#include "testutil.h"

#include <QProcess>
#include <QProgressBar>
#include <QStatusBar>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

namespace fs = std::filesystem;

namespace {

const std::string garbageLibrary = "<garbage>";

void putLibrary(const std::string& from, const std::string& folder)
{
    if (from.empty())
        return;
    fs::create_directories(folder);
    std::string to = folder + "/libquillan.so";
    if (from == garbageLibrary)
        testutil::writeBytes(to, "this is not a shared library");
    else
        fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

class LauncherRun {
public:
    // `beside`: the library copied next to the program; `searched`: the one found only
    // through the system's search path. Empty for none.
    LauncherRun(const std::string& beside, const std::string& searched)
    {
        program = dir.file("prog/trelvex");
        fs::create_directories(dir.file("prog"));
        fs::copy_file(TRELVEX_PATH, program);
        putLibrary(beside, dir.file("prog"));
        putLibrary(searched, dir.file("lib"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("NURIVO_UI", "scripted");
        env.insert("NURIVO_UI_LOG", QString::fromStdString(dir.file("ui.log")));
        env.insert("LD_LIBRARY_PATH", QString::fromStdString(dir.file("lib")));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    }

    void start(const QStringList& args) { process.start(QString::fromStdString(program), args); }

    // The exit code, or -1 when the program did not end normally.
    int finish()
    {
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    std::vector<std::string> messages() const
    {
        std::vector<std::string> texts;
        for (const ui::Record& r : ui::readLog(dir.file("ui.log")))
            texts.push_back(r.kind + ": " + r.text);
        return texts;
    }

    testutil::TempDir dir;
    std::string program;
    QProcess process;
};

std::string shown(const char* text)
{
    return std::string("message: ") + text;
}

enum class Args { Both, SourceMissing, OnlyOne };

struct LoadCase {
    const char* name;
    std::string beside;
    std::string searched;
    Args args;
    const char* message; // null: the stand-in converted
};

TEST(Launcher, BindsLibraryAndReportsEachFailure)
{
    const LoadCase cases[] = {
        {"no library anywhere", "", "", Args::Both, msgLibraryMissing},
        {"not a library beside", garbageLibrary, "", Args::Both, msgLibraryMissing},
        {"found by the system search", "", STUB_FAKE, Args::Both, nullptr},
        {"own folder first", STUB_FAKE, STUB_NONE, Args::Both, nullptr},
        {"own folder first, without exports", STUB_NONE, STUB_FAKE, Args::Both, msgLibraryBroken},
        {"registration missing", STUB_CONVERT_ONLY, "", Args::Both, msgLibraryBroken},
        {"conversion missing", STUB_SET_ONLY, "", Args::Both, msgLibraryBroken},
        {"conversion fails", STUB_FAKE, "", Args::SourceMissing, msgConversionFailed},
        {"one argument only", STUB_FAKE, "", Args::OnlyOne, msgArgumentsMissing},
    };
    // Started together: each one waits a second for its timer.
    std::vector<std::unique_ptr<LauncherRun>> runs;
    std::vector<std::pair<std::string, std::string>> paths;
    for (const LoadCase& c : cases) {
        auto run = std::make_unique<LauncherRun>(c.beside, c.searched);
        // Blanks in the paths must survive.
        std::string source = run->dir.file("work dir/work image.TMP");
        std::string output = run->dir.file("work dir/out put.RVL");
        fs::create_directories(run->dir.file("work dir"));
        if (c.args != Args::SourceMissing)
            testutil::writeBytes(source, "BM");
        QStringList args{QString::fromStdString(source)};
        if (c.args != Args::OnlyOne)
            args << QString::fromStdString(output);
        run->start(args);
        paths.emplace_back(source, output);
        runs.push_back(std::move(run));
    }
    for (size_t i = 0; i < runs.size(); ++i) {
        const LoadCase& c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(runs[i]->finish(), 0);
        const auto& [source, output] = paths[i];
        if (c.message) {
            EXPECT_EQ(runs[i]->messages(), std::vector<std::string>{shown(c.message)});
            EXPECT_FALSE(fs::exists(output));
        } else {
            // The stand-in passes the error slot's message on and writes what it was given:
            // in place, tolerance 1.4143, divisor -1, every callback answering 1, and the
            // progress callback also in the thinning slot.
            EXPECT_EQ(runs[i]->messages(), std::vector<std::string>{"message: stub error 7"});
            EXPECT_EQ(testutil::readBytes(output),
                      source + "|0|" + output + "|1.4143|-1.0|111|1\n");
        }
    }
}

} // namespace
