// The savers (ZKI, layer definition, Def, settings) under faults: a save that reports failure
// leaves the old file byte for byte; a save keeps the file's owner, group, mode and links; a
// file the process may not write is refused. Each case runs in a child process, under a
// file-size limit for a full disk and as an unprivileged user where permissions matter.
#include "childproc.h"
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/pdata.h"
#include "platform/registry.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testutil::ChildOptions;
using testutil::readBytes;
using testutil::runInChild;
using testutil::TempDir;
using testutil::writeBytes;

namespace {

// The old content: shorter than the file-size limit, so that putting it back fits.
const std::string kOld = "previous content\r\n";
constexpr rlim_t kFullDiskAt = 24;

struct Saver {
    const char* what;
    const char* name; // the file's name in <root>/Tavisol
    // Saves to the file of that name under root; true when the save reports success.
    std::function<bool(const std::string& root)> save;
};

bool saveZki(const std::string& root)
{
    PData store;
    TPRec rec;
    rec.kind = 1;
    rec.name = "図形";
    rec.pts = {{10, 20}, {30, 40}, {50, 60}};
    rec.nPts = 3;
    store.PD_AddPoly(1, rec);
    return store.PD_SaveFile(root + "/Tavisol/sheet.ZKI") == 1;
}

bool saveLayer(const std::string& root)
{
    TLayer layer;
    layer.layerSetDefaults();
    layer.count = 6;
    return layer.layerSave(root + "/Tavisol/layer.lay") == 6;
}

bool saveDef(const std::string& root)
{
    TImgDef def;
    def.imagePath = root + "/Tavisol/sheet.tif";
    def.dpi = 400;
    def.scale = 500;
    def.width = 9400;
    def.height = 13200;
    return imgDefWrite(def) == 1;
}

bool saveSettings(const std::string& root)
{
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    cfgLoad(registryCreateKey);
    return cfgSave(registryCreateKey);
}

const Saver kSavers[] = {
    {"ZKI", "sheet.ZKI", saveZki},
    {"layer definition", "layer.lay", saveLayer},
    {"Def", "sheet.Def", saveDef},
    {"settings", "NV_Tool.conf", saveSettings},
};

std::set<std::string> entries(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.insert(e.path().filename().string());
    return names;
}

struct stat statOf(const std::string& path)
{
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st;
}

bool root() { return ::geteuid() == 0; }

class SaverFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::chmod(dir.path().c_str(), 0777); // the unprivileged child works in here too
        fs::create_directories(folder());
        ::chmod(folder().c_str(), 0777); // a folder the unprivileged user may write
    }
    std::string folder() const { return dir.file("Tavisol"); }
    std::string file(const Saver& s) const { return folder() + "/" + s.name; }

    // What a plain save of the saver writes, for comparing the bytes of a save that succeeded.
    std::string expectedBytes(const Saver& s)
    {
        TempDir ref;
        fs::create_directories(ref.file("Tavisol"));
        EXPECT_EQ(runInChild([&] { return s.save(ref.path()) ? 1 : 0; }), 1) << s.what;
        // The Def file names its raster, under the folder of this test.
        std::string bytes = readBytes(ref.file("Tavisol/") + s.name);
        for (size_t at = bytes.find(ref.path()); at != std::string::npos; at = bytes.find(ref.path(), at))
            bytes.replace(at, ref.path().size(), dir.path());
        return bytes;
    }

    TempDir dir;
};

} // namespace

TEST_F(SaverFaults, LinkOnAFullDiskKeepsTheTargetAndTheLink)
{
    fs::create_directories(dir.file("real"));
    for (const Saver& s : kSavers) {
        SCOPED_TRACE(s.what);
        const std::string target = dir.file("real/") + s.name;
        writeBytes(target, kOld);
        fs::remove(file(s));
        fs::create_symlink("../real/" + std::string(s.name), file(s));

        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }, {.fileSizeLimit = kFullDiskAt}), 0);
        EXPECT_EQ(readBytes(target), kOld);
        EXPECT_TRUE(fs::is_symlink(file(s)));

        // Without the limit the link's target takes the new content and stays where it was.
        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }), 1);
        EXPECT_TRUE(fs::is_symlink(file(s)));
        EXPECT_EQ(readBytes(target), expectedBytes(s));
    }
    // Nothing of ours is left behind: no hidden save file, no lock file.
    std::set<std::string> names;
    for (const Saver& s : kSavers)
        names.insert(s.name);
    EXPECT_EQ(entries(folder()), names);
    EXPECT_EQ(entries(dir.file("real")), names);
}

TEST_F(SaverFaults, ReadOnlyFileIsRefusedAndStays)
{
    for (const Saver& s : kSavers) {
        SCOPED_TRACE(s.what);
        writeBytes(file(s), kOld);
        ::chmod(file(s).c_str(), 0444);
        const struct stat before = statOf(file(s));
        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }, {.asNobody = true}), 0);
        EXPECT_EQ(readBytes(file(s)), kOld);
        const struct stat after = statOf(file(s));
        EXPECT_EQ(after.st_ino, before.st_ino);
        EXPECT_EQ(after.st_uid, before.st_uid);
        fs::remove(file(s));
    }
    EXPECT_TRUE(fs::is_empty(folder()));
}

TEST_F(SaverFaults, WritableFileInAReadOnlyFolderIsWrittenInPlace)
{
    for (const Saver& s : kSavers) {
        SCOPED_TRACE(s.what);
        writeBytes(file(s), kOld);
        ::chmod(file(s).c_str(), 0666);
        ::chmod(folder().c_str(), 0555);
        const ino_t inode = statOf(file(s)).st_ino;

        // A full disk: the old bytes are put back at their old length.
        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; },
                             {.fileSizeLimit = kFullDiskAt, .asNobody = true}),
                  0);
        EXPECT_EQ(readBytes(file(s)), kOld);

        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }, {.asNobody = true}), 1);
        ::chmod(folder().c_str(), 0777);
        EXPECT_EQ(readBytes(file(s)), expectedBytes(s));
        EXPECT_EQ(statOf(file(s)).st_ino, inode);
    }
}

TEST_F(SaverFaults, OwnerGroupModeAndHardLinksAreKept)
{
    if (!root())
        GTEST_SKIP() << "giving a file to another owner needs the superuser";
    constexpr gid_t kTeam = 4321;
    for (const Saver& s : kSavers) {
        SCOPED_TRACE(s.what);
        const std::string expected = expectedBytes(s);
        // Saved by root, and by the owner who is not in the file's group: both keep it.
        for (bool asNobody : {false, true}) {
            SCOPED_TRACE(asNobody ? "as the owner" : "as root");
            writeBytes(file(s), kOld);
            ASSERT_EQ(::chown(file(s).c_str(), testutil::kNobody, kTeam), 0);
            ASSERT_EQ(::chmod(file(s).c_str(), 0660), 0);
            EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }, {.asNobody = asNobody}), 1);
            const struct stat st = statOf(file(s));
            EXPECT_EQ(st.st_uid, testutil::kNobody);
            EXPECT_EQ(st.st_gid, kTeam);
            EXPECT_EQ(st.st_mode & 07777, 0660u);
            EXPECT_EQ(readBytes(file(s)), expected);
            fs::remove(file(s));
        }

        // A second name of the file sees the new content.
        writeBytes(file(s), kOld);
        const std::string other = dir.file("other-name");
        fs::create_hard_link(file(s), other);
        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }), 1);
        EXPECT_EQ(readBytes(other), expected);
        EXPECT_EQ(statOf(other).st_ino, statOf(file(s)).st_ino);
        // ... and on a full disk both keep the old content.
        writeBytes(file(s), kOld);
        EXPECT_EQ(runInChild([&] { return s.save(dir.path()) ? 1 : 0; }, {.fileSizeLimit = kFullDiskAt}), 0);
        EXPECT_EQ(readBytes(other), kOld);
        fs::remove(other);
        fs::remove(file(s));
    }
    EXPECT_TRUE(fs::is_empty(folder()));
}
