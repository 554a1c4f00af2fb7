// The one-bit TMP work image: its exact bytes as the vectoriser reads them.
#include "render/imaging.h"
#include "test_imaging_fixtures.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

uint32_t u32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}
uint32_t u16(const std::string& s, size_t at) { return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8; }

constexpr int W = 33, H = 5; // 33 pixels: rows of two 32-bit words, the second nearly all padding

bool bitAt(int x, int y) { return (x * 7 + y * 3) % 5 < 2; }

TEST(WorkImage, OneBitSourceIsWrittenBitForBitWithTheLayoutTheVectoriserReads)
{
    testutil::TempDir dir;
    fixture::Tiff t;
    t.width = W;
    t.height = H;
    t.photometric = PHOTOMETRIC_MINISWHITE;
    t.compression = COMPRESSION_CCITTFAX4;
    t.xres = 300;
    t.resUnit = RESUNIT_INCH;
    t.rows = fixture::packBits(W, H, bitAt);
    ASSERT_TRUE(fixture::writeTiff(dir.file("in.tif"), t));
    ASSERT_NE(imgConvertTo1BitBmp(dir.file("in.tif"), dir.file("in.TMP"), 128), 0);
    const std::string f = testutil::readBytes(dir.file("in.TMP"));

    const uint32_t stride = 8;
    ASSERT_EQ(f.size(), 62 + stride * H);
    EXPECT_EQ(f.substr(0, 2), "BM");
    EXPECT_EQ(u32(f, 2), f.size());
    EXPECT_EQ(u32(f, 10), 62u);  // pixel data offset
    EXPECT_EQ(u32(f, 14), 40u);  // information header size
    EXPECT_EQ(u32(f, 18), uint32_t(W));
    EXPECT_EQ(u32(f, 22), uint32_t(H)); // positive: bottom-up
    EXPECT_EQ(u16(f, 26), 1u);   // planes
    EXPECT_EQ(u16(f, 28), 1u);   // bits per pixel
    EXPECT_EQ(u32(f, 30), 0u);   // no compression
    EXPECT_EQ(u32(f, 38), 11811u); // 300 dpi carried over
    // Min-is-white: bit 0 is paper, and the palette says so.
    EXPECT_EQ(f.substr(54, 8), std::string("\xFF\xFF\xFF\0\0\0\0\0", 8));
    for (int y = 0; y < H; ++y) {
        const size_t row = 62 + stride * size_t(H - 1 - y); // the file's first row is the bottom one
        for (int x = 0; x < W; ++x)
            EXPECT_EQ((uint8_t(f[row + x / 8]) >> (7 - x % 8)) & 1, bitAt(x, y) ? 1 : 0) << x << "," << y;
        EXPECT_EQ(uint8_t(f[row + 4]) & 0x7F, 0) << "bits past the last pixel are zero";
        EXPECT_EQ(f.substr(row + 5, 3), std::string(3, '\0')) << "row padding is zero";
    }
}

TEST(WorkImage, ColourSourceIsThresholdedOnLuminance)
{
    // Luminance (299 R + 587 G + 114 B + 500) / 1000 on each side of the threshold.
    const struct {
        QRgb colour;
        int luma;
    } pixels[] = {
        {qRgb(127, 127, 127), 127}, {qRgb(128, 128, 128), 128}, {qRgb(255, 0, 0), 76},
        {qRgb(0, 128, 255), 104},   {qRgb(128, 129, 125), 128}, {qRgb(127, 127, 126), 127},
        {qRgb(0, 0, 0), 0},         {qRgb(255, 255, 255), 255},
    };
    const int w = int(std::size(pixels));
    fixture::Bmp b;
    b.width = w;
    b.height = 2;
    for (int y = 0; y < 2; ++y)
        for (const auto& p : pixels) {
            b.rows.push_back(uint8_t(qBlue(p.colour)));
            b.rows.push_back(uint8_t(qGreen(p.colour)));
            b.rows.push_back(uint8_t(qRed(p.colour)));
        }
    testutil::TempDir dir;
    testutil::writeBytes(dir.file("in.bmp"), fixture::bmpBytes(b));
    for (int threshold : {128, 100}) {
        SCOPED_TRACE(threshold);
        ASSERT_NE(imgConvertTo1BitBmp(dir.file("in.bmp"), dir.file("in.TMP"), threshold), 0);
        const std::string f = testutil::readBytes(dir.file("in.TMP"));
        ASSERT_EQ(f.size(), 62u + 4 * 2);
        EXPECT_EQ(f.substr(54, 8), std::string("\0\0\0\0\xFF\xFF\xFF\0", 8)); // bit 1 is white
        EXPECT_EQ(u32(f, 38), 0u) << "no resolution stored, none written";
        for (int x = 0; x < w; ++x)
            EXPECT_EQ((uint8_t(f[62 + x / 8]) >> (7 - x % 8)) & 1, pixels[x].luma >= threshold ? 1 : 0) << x;
    }
}

TEST(WorkImage, FailuresWriteNothing)
{
    testutil::TempDir dir;
    EXPECT_EQ(imgConvertTo1BitBmp(dir.file("missing.png"), dir.file("out.TMP"), 128), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.TMP")));

    // The source loads but the folder is missing: no file appears, and the result says so.
    fixture::Bmp b;
    b.width = b.height = 4;
    b.rows.assign(4 * 4 * 3, 200);
    testutil::writeBytes(dir.file("in.bmp"), fixture::bmpBytes(b));
    EXPECT_EQ(imgConvertTo1BitBmp(dir.file("in.bmp"), dir.file("no/such/folder/out.TMP"), 128), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.file("no/such/folder/out.TMP")));

    // A write that fails on a device removes nothing: only a cut-off file of our own goes.
    if (std::filesystem::is_character_file("/dev/full")) {
        EXPECT_EQ(imgConvertTo1BitBmp(dir.file("in.bmp"), "/dev/full", 128), 0);
        EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
    }
}

TEST(WorkImage, RealScanKeepsItsBits)
{
    const std::string path = std::string(NURIVO_TEST_DATA) + "/scan-page-8071-g4.tif";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path;
    testutil::TempDir dir;
    Bitmap bmp;
    ASSERT_NE(imgLoadToBitmap(path, bmp), 0);
    ASSERT_NE(imgConvertTo1BitBmp(path, dir.file("scan.TMP"), 128), 0);
    const std::string f = testutil::readBytes(dir.file("scan.TMP"));
    const size_t stride = (3312 + 31) / 32 * 4;
    ASSERT_EQ(f.size(), 62 + stride * 2550);
    for (int y : {0, 1000, 2549}) {
        const size_t row = 62 + stride * size_t(2549 - y);
        EXPECT_EQ(f.compare(row, 3312 / 8, reinterpret_cast<const char*>(bmp.image().constScanLine(y)), 3312 / 8), 0)
            << "row " << y;
    }
}

} // namespace
