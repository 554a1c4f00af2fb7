// The imaging readers and the work image under faults: a raster that is a FIFO or a link to an
// endless device is refused at once, and the work image is never written over its own raster.
#include "childproc.h"
#include "render/imaging.h"
#include "test_imaging_fixtures.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool bitAt(int x, int y) { return (x + y) % 3 == 0; }

std::string writeScan(const testutil::TempDir& dir)
{
    fixture::Tiff t;
    t.width = 40;
    t.height = 9;
    t.photometric = PHOTOMETRIC_MINISWHITE;
    t.compression = COMPRESSION_CCITTFAX4;
    t.xres = 300;
    t.resUnit = RESUNIT_INCH;
    t.rows = fixture::packBits(t.width, t.height, bitAt);
    const std::string path = dir.file("scan.tif");
    EXPECT_TRUE(fixture::writeTiff(path, t));
    return path;
}

} // namespace

TEST(ImagingFaults, WorkImageIsNeverWrittenOverItsRaster)
{
    testutil::TempDir dir;
    const std::string scan = writeScan(dir);
    const std::string bytes = testutil::readBytes(scan);
    fs::create_symlink("scan.tif", dir.file("link.TMP"));
    ASSERT_EQ(::link(scan.c_str(), dir.file("hard.TMP").c_str()), 0);
    for (const char* name : {"scan.tif", "link.TMP", "hard.TMP"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(imgConvertTo1BitBmp(scan, dir.file(name), 128), 0);
        EXPECT_EQ(testutil::readBytes(scan), bytes);
    }
    // Through a link to the raster, too.
    EXPECT_EQ(imgConvertTo1BitBmp(dir.file("link.TMP"), dir.file("hard.TMP"), 128), 0);
    EXPECT_EQ(testutil::readBytes(scan), bytes);
    EXPECT_EQ(imgConvertTo1BitBmp(scan, dir.file("scan.TMP"), 128), 1);
}

TEST(ImagingFaults, FifoAndEndlessDeviceAreNoRaster)
{
    testutil::TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo.tif").c_str(), 0666), 0);
    fs::create_symlink("/dev/zero", dir.file("zero.tif"));
    const std::function<int(const std::string&)> readers[] = {
        [](const std::string& p) { return imgGetFileDpi(p); },
        [](const std::string& p) {
            Bitmap b;
            return imgLoadToBitmap(p, b);
        },
        [&](const std::string& p) { return imgConvertTo1BitBmp(p, dir.file("out.TMP"), 128); },
    };
    for (const char* name : {"fifo.tif", "zero.tif"})
        for (size_t i = 0; i < std::size(readers); ++i) {
            SCOPED_TRACE(std::string(name) + " reader " + std::to_string(i));
            EXPECT_EQ(testutil::runInChild([&] { return readers[i](dir.file(name)); }, {.alarmSeconds = 10}), 0);
        }
    EXPECT_FALSE(fs::exists(dir.file("out.TMP")));
    // A FIFO named as the work image is no place to write it either.
    const std::string scan = writeScan(dir);
    EXPECT_EQ(testutil::runInChild([&] { return imgConvertTo1BitBmp(scan, dir.file("fifo.tif"), 128); },
                                   {.alarmSeconds = 10}),
              0);
}
