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

// The launcher's messages, as the operator reads them.
const char* const libraryMissing = "トレルダ変換用のライブラリがありません";
const char* const libraryBroken = "トレルダ変換用のライブラリが異常です";
const char* const conversionFailed = "ラスタデータのがモノクロ２値かどうか確認してください";

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
        {"no library anywhere", "", "", Args::Both, libraryMissing},
        {"not a library beside", garbageLibrary, "", Args::Both, libraryMissing},
        {"found by the system search", "", STUB_FAKE, Args::Both, nullptr},
        {"own folder first", STUB_FAKE, STUB_NONE, Args::Both, nullptr},
        {"own folder first, without exports", STUB_NONE, STUB_FAKE, Args::Both, libraryBroken},
        {"registration missing", STUB_CONVERT_ONLY, "", Args::Both, libraryBroken},
        {"conversion missing", STUB_SET_ONLY, "", Args::Both, libraryBroken},
        {"conversion fails", STUB_FAKE, "", Args::SourceMissing, conversionFailed},
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

#ifdef QUILLAN_PATH
namespace {

void put16(std::string& b, unsigned v)
{
    b += static_cast<char>(v & 0xff);
    b += static_cast<char>((v >> 8) & 0xff);
}

void put32(std::string& b, unsigned long v)
{
    put16(b, static_cast<unsigned>(v & 0xffff));
    put16(b, static_cast<unsigned>((v >> 16) & 0xffff));
}

// An uncompressed bottom-up bitmap of 1 or 24 bits per pixel; `ink` pixels get bit 1 (one-bit)
// or a colour, the rest bit 0 or white.
std::string bitmap(int width, int height, int bits, const std::function<bool(int, int)>& ink)
{
    const int stride = bits == 1 ? (width + 31) / 32 * 4 : (width * 3 + 3) / 4 * 4;
    const unsigned long offset = bits == 1 ? 62 : 54;
    std::string b = "BM";
    put32(b, offset + static_cast<unsigned long>(stride * height));
    put32(b, 0);
    put32(b, offset);
    put32(b, 40);
    put32(b, static_cast<unsigned long>(width));
    put32(b, static_cast<unsigned long>(height));
    put16(b, 1);
    put16(b, static_cast<unsigned>(bits));
    put32(b, 0);
    put32(b, static_cast<unsigned long>(stride * height));
    put32(b, 11811);
    put32(b, 11811);
    put32(b, bits == 1 ? 2 : 0);
    put32(b, 0);
    if (bits == 1)
        b += std::string("\0\0\0\0\xff\xff\xff\0", 8);
    for (int y = 0; y < height; ++y) {
        std::string row(static_cast<size_t>(stride), '\0');
        for (int x = 0; x < width; ++x) {
            if (bits == 1 && ink(x, y))
                row[static_cast<size_t>(x / 8)] |= static_cast<char>(0x80 >> (x % 8));
            if (bits == 24)
                for (int c = 0; c < 3; ++c)
                    row[static_cast<size_t>(x * 3 + c)] =
                        static_cast<char>(ink(x, y) ? 0x40 * c : 0xff);
        }
        b += row;
    }
    return b;
}

// Two crossing bars three pixels wide.
bool cross(int x, int y)
{
    return (y >= 22 && y < 25 && x >= 8 && x < 56) || (x >= 30 && x < 33 && y >= 6 && y < 42);
}

struct Conversion : testing::Test {
    testutil::TempDir dir;
    std::string work = dir.file("sheet 1.TMP");
    std::string rvl = dir.file("sheet 1.RVL");
};

TEST_F(Conversion, OneBitWorkImageBecomesRvlAndIsConsumed)
{
    std::string image = bitmap(64, 48, 1, cross);
    testutil::writeBytes(work, image);
    LauncherRun run(QUILLAN_PATH, "");
    run.start({QString::fromStdString(work), QString::fromStdString(rvl)});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_TRUE(run.messages().empty());
    ASSERT_TRUE(fs::exists(rvl));
    EXPECT_GT(fs::file_size(rvl), 0u);
    // Every pixel is left at the background value, the file at its length.
    std::string after = testutil::readBytes(work);
    ASSERT_EQ(after.size(), image.size());
    EXPECT_EQ(after.substr(0, 62), image.substr(0, 62));
    EXPECT_EQ(after.find_first_not_of('\0', 62), std::string::npos);
}

TEST_F(Conversion, ColourBitmapIsRefused)
{
    testutil::writeBytes(work, bitmap(64, 48, 24, cross));
    LauncherRun run(QUILLAN_PATH, "");
    run.start({QString::fromStdString(work), QString::fromStdString(rvl)});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.messages(), std::vector<std::string>{shown(conversionFailed)});
    EXPECT_FALSE(fs::exists(rvl));
}

// A file-size limit (a full disk as far as the vectoriser can tell) fails the conversion, not
// the program: the operator reads the failure, the program ends with 0, and no cut RVL file
// stays to pass for the sheet's line work.
TEST_F(Conversion, FileSizeLimitIsAFailedConversionNotASignal)
{
    // Many short bars: an RVL file of a few kilobytes, past a limit of 512 bytes.
    testutil::writeBytes(work, bitmap(400, 400, 1, [](int x, int y) { return y % 4 == 2 && x > 1 && x < 398; }));
    LauncherRun run(QUILLAN_PATH, "");
    run.process.start("/bin/sh", {"-c", "ulimit -f 1 && exec \"$0\" \"$@\"", QString::fromStdString(run.program),
                                  QString::fromStdString(work), QString::fromStdString(rvl)});
    EXPECT_EQ(run.finish(), 0);
    EXPECT_EQ(run.messages(), std::vector<std::string>{shown(conversionFailed)});
    EXPECT_FALSE(fs::exists(rvl));
}

// In this process the library beside the test program is the built one: the window ends at
// the last step with the count of polylines.
TEST_F(Conversion, WindowEndsAtLastStep)
{
    ui::useScripted();
    testutil::writeBytes(work, bitmap(64, 48, 1, cross));
    TFormLauncher form({work, rvl});
    FormProgress = &form;
    form.show();
    form.Timer1Timer();
    FormProgress = nullptr;
    EXPECT_TRUE(ui::recorded().empty());
    EXPECT_EQ(form.ProgressBar1->maximum(), 6);
    EXPECT_EQ(form.ProgressBar1->value(), 6);
    QString status = form.StatusBar1->currentMessage();
    EXPECT_TRUE(status.startsWith(QStringLiteral("  終了処理 ("))) << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral(" polylines)"))) << status.toStdString();
    EXPECT_TRUE(fs::exists(rvl));
}

} // namespace
#endif
