// The model's readers on what is not a regular file: a FIFO (which would block an open or a
// read for ever) and a link to /dev/zero (which never ends) are both the reader's "cannot be
// read" case. Each reader runs in a child under an alarm, so a reader that blocks fails the
// test instead of hanging it.
#include "childproc.h"
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/pdata.h"
#include "model/qrv.h"
#include "model/tracegrid.h"
#include "platform/registry.h"
#include "platform/textfile.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testutil::runInChild;
using testutil::TempDir;

namespace {

struct Reader {
    const char* what;
    const char* name; // the file's name in <root>/Tavisol
    // 0 when the reader reports that the file cannot be read, as it does for a missing one.
    std::function<int(const std::string& root)> read;
};

const Reader kReaders[] = {
    {"ZKI", "sheet.ZKI", [](const std::string& root) { return PData().PD_LoadFile(root + "/Tavisol/sheet.ZKI", 0); }},
    {"layer definition", "layer.lay",
     [](const std::string& root) { return TLayer().layerLoad(root + "/Tavisol/layer.lay"); }},
    {"reference table", "table.txt",
     [](const std::string& root) {
         qrvCreateTables(1);
         return qrvLoadTable(0, root + "/Tavisol/table.txt");
     }},
    {"RVL", "sheet.RVL",
     [](const std::string& root) {
         polyInit(100, 100);
         return polyReadRvl(root + "/Tavisol/sheet.RVL", 100);
     }},
    {"Def", "sheet.Def",
     [](const std::string& root) {
         TImgDef def;
         def.imagePath = root + "/Tavisol/sheet.tif";
         return imgDefRead(def);
     }},
    {"settings", "NV_Tool.conf",
     [](const std::string& root) {
         ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
         auto key = registryCreateKey();
         return key->openKey(kxRegistryKey, false) ? 1 : 0;
     }},
    {"application definition", "app.def",
     [](const std::string& root) {
         ::setenv("XDG_CONFIG_HOME", (root + "/none").c_str(), 1);
         cfgLoadDataDir(registryCreateKey, root + "/Tavisol/app");
         return cfgGetAppKindName() == "QuorelR" ? 0 : 1;
     }},
};

class ReaderFaults : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir.file("Tavisol")); }
    std::string file(const Reader& r) const { return dir.file("Tavisol/") + r.name; }
    TempDir dir;
};

} // namespace

TEST_F(ReaderFaults, FifoIsRefusedWithoutWaiting)
{
    for (const Reader& r : kReaders) {
        SCOPED_TRACE(r.what);
        ASSERT_EQ(::mkfifo(file(r).c_str(), 0666), 0);
        EXPECT_EQ(runInChild([&] { return r.read(dir.path()); }, {.alarmSeconds = 5}), 0);
    }
    // The shared opener itself: FIFO, device and folder refused, a regular file taken.
    EXPECT_LT(openRegularFile(dir.file("Tavisol/sheet.ZKI")), 0);
    EXPECT_LT(openRegularFile("/dev/zero"), 0);
    EXPECT_LT(openRegularFile(dir.path()), 0);
    testutil::writeBytes(dir.file("plain"), "x");
    const int fd = openRegularFile(dir.file("plain"));
    EXPECT_GE(fd, 0);
    ::close(fd);
}

TEST_F(ReaderFaults, LinkToAnEndlessDeviceIsRefused)
{
    for (const Reader& r : kReaders) {
        SCOPED_TRACE(r.what);
        fs::create_symlink("/dev/zero", file(r));
        // A reader that grew its line buffer from it would run out of this much memory.
        auto limited = [&] {
#if !defined(__SANITIZE_ADDRESS__)
            rlimit lim {};
            ::getrlimit(RLIMIT_AS, &lim);
            lim.rlim_cur = rlim_t(1) << 30;
            ::setrlimit(RLIMIT_AS, &lim);
#endif
            return r.read(dir.path());
        };
        EXPECT_EQ(runInChild(limited, {.alarmSeconds = 10}), 0);
    }
}
