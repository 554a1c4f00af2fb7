// Loading rasters: formats and compressions, the pixel format chosen, the resolution the file
// stores, and bad files that must fail cleanly.
#include "render/imaging.h"
#include "test_imaging_fixtures.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

constexpr int W = 11, H = 7; // odd sizes so row padding shows

bool inkAt(int x, int y) { return (x + y) % 3 == 0; }
int greyAt(int x, int y) { return (x * 37 + y * 11) & 255; }
QRgb colourAt(int x, int y) { return qRgb(x * 23 & 255, y * 35 & 255, (x + y) * 13 & 255); }
QRgb paletteColour(int i) { return qRgb(i, 255 - i, i / 2); }

std::vector<uint8_t> levelRows(int bits) // grey levels (x + y) mod 2^bits, packed
{
    const int rowBytes = (W * bits + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * H), 0);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int v = (x + y) % (1 << bits);
            const int bit = x * bits;
            rows[static_cast<size_t>(y * rowBytes + bit / 8)] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
        }
    return rows;
}

QRgb levelColour(int x, int y, int bits)
{
    const int v = (x + y) % (1 << bits) * 255 / ((1 << bits) - 1);
    return qRgb(v, v, v);
}

std::vector<uint8_t> byteRows(int channels, const std::function<std::vector<uint8_t>(int, int)>& px)
{
    std::vector<uint8_t> rows;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            auto p = px(x, y);
            rows.insert(rows.end(), p.begin(), p.begin() + channels);
        }
    return rows;
}

std::vector<uint8_t> rgb(QRgb c) { return {uint8_t(qRed(c)), uint8_t(qGreen(c)), uint8_t(qBlue(c))}; }
// Pixel (0, 0) fully transparent, the rest opaque.
uint8_t alphaAt(int x, int y) { return x == 0 && y == 0 ? 0 : 255; }
QRgb overWhite(int x, int y) { return alphaAt(x, y) ? colourAt(x, y) : qRgb(255, 255, 255); }

fixture::Tiff tiff(int bps, int spp, int photometric, int compression, std::vector<uint8_t> rows)
{
    fixture::Tiff t;
    t.width = W;
    t.height = H;
    t.bitsPerSample = bps;
    t.samplesPerPixel = spp;
    t.photometric = photometric;
    t.compression = compression;
    t.rows = std::move(rows);
    return t;
}

fixture::Png png(int depth, int colorType, std::vector<uint8_t> rows)
{
    fixture::Png p;
    p.width = W;
    p.height = H;
    p.depth = depth;
    p.colorType = colorType;
    p.rows = std::move(rows);
    return p;
}

fixture::Bmp bmp(int bpp, std::vector<uint8_t> rows, std::vector<uint32_t> palette = {})
{
    fixture::Bmp b;
    b.width = W;
    b.height = H;
    b.bpp = bpp;
    b.rows = std::move(rows);
    b.palette = std::move(palette);
    return b;
}

using Maker = std::function<void(const std::string& path)>;

Maker make(fixture::Tiff t)
{
    return [t](const std::string& path) { ASSERT_TRUE(fixture::writeTiff(path, t)); };
}
Maker make(fixture::Png p)
{
    return [p](const std::string& path) { testutil::writeBytes(path, fixture::pngBytes(p)); };
}
Maker make(fixture::Bmp b)
{
    return [b](const std::string& path) { testutil::writeBytes(path, fixture::bmpBytes(b)); };
}

struct LoadCase {
    const char* name;
    Maker maker;
    PixelFormat format;
    QImage::Format storage;
    std::function<QRgb(int, int)> expected;
    int tolerance;
};

QRgb inkMinIsWhite(int x, int y) { return inkAt(x, y) ? qRgb(0, 0, 0) : qRgb(255, 255, 255); }
QRgb inkMinIsBlack(int x, int y) { return inkAt(x, y) ? qRgb(255, 255, 255) : qRgb(0, 0, 0); }
QRgb grey(int x, int y) { return qRgb(greyAt(x, y), greyAt(x, y), greyAt(x, y)); }

std::vector<LoadCase> loadCases()
{
    const auto bits = fixture::packBits(W, H, inkAt);
    const auto greyRows = byteRows(1, [](int x, int y) { return std::vector<uint8_t>{uint8_t(greyAt(x, y))}; });
    const auto indexRows = greyRows; // palette index = grey pattern
    const auto rgbRows = byteRows(3, [](int x, int y) { return rgb(colourAt(x, y)); });
    const auto rgbaRows = byteRows(4, [](int x, int y) {
        auto p = rgb(colourAt(x, y));
        p.push_back(alphaAt(x, y));
        return p;
    });
    const auto greyAlphaRows =
        byteRows(2, [](int x, int y) { return std::vector<uint8_t>{uint8_t(greyAt(x, y)), alphaAt(x, y)}; });
    const auto bgrRows = byteRows(3, [](int x, int y) {
        auto p = rgb(colourAt(x, y));
        return std::vector<uint8_t>{p[2], p[1], p[0]};
    });
    const auto bgrxRows = byteRows(4, [](int x, int y) {
        auto p = rgb(colourAt(x, y));
        return std::vector<uint8_t>{p[2], p[1], p[0], 0};
    });
    auto rows16 = [](bool r565) {
        return byteRows(2, [r565](int x, int y) {
            const QRgb c = colourAt(x, y);
            const uint16_t v = r565 ? uint16_t(((qRed(c) >> 3) << 11) | ((qGreen(c) >> 2) << 5) | (qBlue(c) >> 3))
                                    : uint16_t(((qRed(c) >> 3) << 10) | ((qGreen(c) >> 3) << 5) | (qBlue(c) >> 3));
            return std::vector<uint8_t>{uint8_t(v & 0xFF), uint8_t(v >> 8)};
        });
    };
    fixture::Tiff palTiff = tiff(8, 1, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS, indexRows);
    for (int ch = 0; ch < 3; ++ch)
        for (int i = 0; i < 256; ++i) {
            const QRgb c = paletteColour(i);
            palTiff.colormap.push_back(uint16_t((ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c)) * 257));
        }
    fixture::Tiff rgbaTiff = tiff(8, 4, PHOTOMETRIC_RGB, COMPRESSION_ADOBE_DEFLATE, rgbaRows);
    rgbaTiff.extraSamples = 1;
    fixture::Png palPng = png(8, 3, indexRows);
    for (int i = 0; i < 256; ++i)
        for (auto b : rgb(paletteColour(i)))
            palPng.palette.push_back(static_cast<char>(b));
    std::vector<uint32_t> greyPalette, colourPalette16;
    for (uint32_t i = 0; i < 256; ++i)
        greyPalette.push_back(i * 0x010101u);
    for (int i = 0; i < 16; ++i)
        colourPalette16.push_back(paletteColour(i * 16) & 0xFFFFFF);
    std::vector<uint32_t> colourPalette;
    for (int i = 0; i < 256; ++i)
        colourPalette.push_back(paletteColour(i) & 0xFFFFFF);
    const std::string rleBmp = fixture::bmpRle8Bytes(bmp(8, indexRows, colourPalette));
    std::vector<uint8_t> nibbleRows = levelRows(4); // index = (x + y) mod 16
    auto paletteIndex16 = [](int x, int y) { return paletteColour((x + y) % 16 * 16); };
    auto indexed = [](int x, int y) { return paletteColour(greyAt(x, y)); };

    using F = QImage::Format;
    return {
        {"tiff 1 bit, uncompressed, min-is-white", make(tiff(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, bits)),
         pf1bit, F::Format_Mono, inkMinIsWhite, 0},
        {"tiff 1 bit, CCITT G3", make(tiff(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX3, bits)), pf1bit,
         F::Format_Mono, inkMinIsWhite, 0},
        {"tiff 1 bit, CCITT G4", make(tiff(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, bits)), pf1bit,
         F::Format_Mono, inkMinIsWhite, 0},
        {"tiff 1 bit, PackBits, min-is-black", make(tiff(1, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS, bits)),
         pf1bit, F::Format_Mono, inkMinIsBlack, 0},
        {"tiff 2 bit grey kept in 8 bits", make(tiff(2, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, levelRows(2))),
         pf8bit, F::Format_Grayscale8, [](int x, int y) { return levelColour(x, y, 2); }, 1},
        {"tiff 4 bit grey", make(tiff(4, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE, levelRows(4))), pf4bit,
         F::Format_Grayscale8, [](int x, int y) { return levelColour(x, y, 4); }, 1},
        {"tiff 8 bit grey, LZW", make(tiff(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, greyRows)), pf8bit,
         F::Format_Grayscale8, grey, 0},
        {"tiff 8 bit grey, Deflate", make(tiff(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_ADOBE_DEFLATE, greyRows)),
         pf8bit, F::Format_Grayscale8, grey, 0},
        {"tiff 8 bit colour palette, PackBits", make(palTiff), pf8bit, F::Format_RGB32, indexed, 0},
        {"tiff 24 bit RGB, LZW", make(tiff(8, 3, PHOTOMETRIC_RGB, COMPRESSION_LZW, rgbRows)), pf24bit,
         F::Format_RGB32, colourAt, 0},
        {"tiff 32 bit RGBA, Deflate", make(rgbaTiff), pf32bit, F::Format_RGB32, overWhite, 0},
        {"png 1 bit grey", make(png(1, 0, bits)), pf1bit, F::Format_Mono, inkMinIsBlack, 0},
        {"png 2 bit grey kept in 8 bits", make(png(2, 0, levelRows(2))), pf8bit, F::Format_Grayscale8,
         [](int x, int y) { return levelColour(x, y, 2); }, 1},
        {"png 8 bit grey", make(png(8, 0, greyRows)), pf8bit, F::Format_Grayscale8, grey, 0},
        {"png 8 bit grey with alpha", make(png(8, 4, greyAlphaRows)), pf8bit, F::Format_Grayscale8,
         [](int x, int y) { return alphaAt(x, y) ? grey(x, y) : qRgb(255, 255, 255); }, 0},
        {"png 8 bit colour palette", make(palPng), pf8bit, F::Format_RGB32, indexed, 0},
        {"png 24 bit RGB", make(png(8, 2, rgbRows)), pf24bit, F::Format_RGB32, colourAt, 0},
        {"png 32 bit RGBA", make(png(8, 6, rgbaRows)), pf32bit, F::Format_RGB32, overWhite, 0},
        {"bmp 1 bit", make(bmp(1, bits, {0x000000, 0xFFFFFF})), pf1bit, F::Format_Mono, inkMinIsBlack, 0},
        {"bmp 4 bit colour palette", make(bmp(4, nibbleRows, colourPalette16)), pf4bit, F::Format_RGB32,
         paletteIndex16, 0},
        {"bmp 8 bit grey palette", make(bmp(8, greyRows, greyPalette)), pf8bit, F::Format_Grayscale8, grey, 0},
        {"bmp 8 bit colour palette, RLE", [rleBmp](const std::string& path) { testutil::writeBytes(path, rleBmp); },
         pf8bit, F::Format_RGB32, indexed, 0},
        {"bmp 16 bit 5-6-5", make([&] { auto b = bmp(16, rows16(true)); b.rgb565 = true; return b; }()), pf16bit,
         F::Format_RGB16, colourAt, 8},
        {"bmp 16 bit 5-5-5", make(bmp(16, rows16(false))), pf15bit, F::Format_RGB555, colourAt, 8},
        {"bmp 24 bit", make(bmp(24, bgrRows)), pf24bit, F::Format_RGB32, colourAt, 0},
        {"bmp 32 bit", make(bmp(32, bgrxRows)), pf32bit, F::Format_RGB32, colourAt, 0},
    };
}

bool near(QRgb a, QRgb b, int tol)
{
    return std::abs(qRed(a) - qRed(b)) <= tol && std::abs(qGreen(a) - qGreen(b)) <= tol &&
           std::abs(qBlue(a) - qBlue(b)) <= tol;
}

TEST(ImagingLoad, FormatsCompressionsAndPixelFormats)
{
    testutil::TempDir dir;
    int n = 0;
    for (const LoadCase& c : loadCases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("raster" + std::to_string(n++));
        c.maker(path);
        Bitmap bmp;
        ASSERT_NE(imgLoadToBitmap(path, bmp), 0);
        EXPECT_EQ(bmp.pixelFormat(), c.format);
        EXPECT_EQ(bmp.image().format(), c.storage);
        ASSERT_EQ(bmp.width(), W);
        ASSERT_EQ(bmp.height(), H);
        int wrong = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                if (!near(bmp.image().pixel(x, y), c.expected(x, y), c.tolerance) && wrong++ == 0)
                    ADD_FAILURE() << "first wrong pixel at " << x << "," << y << ": " << std::hex
                                  << bmp.image().pixel(x, y) << " wanted " << c.expected(x, y);
    }
}

// A raw TIFF byte string, little-endian, one strip of eight-bit grey: the tags given, data
// after the directory. With `colourMap`, a palette image whose colour map is said to follow
// the strip, where the file ends.
std::string rawTiff(uint32_t width, uint32_t height, uint32_t claimedBytes, uint32_t actualBytes,
                    bool colourMap = false)
{
    struct Tag {
        uint16_t id, type;
        uint32_t count, value;
    };
    const uint32_t tagCount = colourMap ? 9 : 8;
    const uint32_t dataOffset = 8 + 2 + tagCount * 12 + 4;
    std::vector<Tag> tags = {{256, 4, 1, width},      {257, 4, 1, height},
                             {258, 3, 1, 8},          {259, 3, 1, 1},
                             {262, 3, 1, colourMap ? 3u : 1u}, {273, 4, 1, dataOffset},
                             {278, 4, 1, height},     {279, 4, 1, claimedBytes}};
    if (colourMap)
        tags.push_back({320, 3, 3 * 256, dataOffset + actualBytes});
    std::string s = "II";
    fixture::put16le(s, 42);
    fixture::put32le(s, 8);
    fixture::put16le(s, tagCount);
    for (const Tag& t : tags) {
        fixture::put16le(s, t.id);
        fixture::put16le(s, t.type);
        fixture::put32le(s, t.count);
        if (t.type == 3 && t.count == 1) {
            fixture::put16le(s, t.value);
            fixture::put16le(s, 0);
        } else {
            fixture::put32le(s, t.value);
        }
    }
    fixture::put32le(s, 0);
    s.append(actualBytes, '\x80');
    return s;
}

std::string cut(const std::string& bytes, double fraction)
{
    return bytes.substr(0, static_cast<size_t>(double(bytes.size()) * fraction));
}

TEST(ImagingLoad, BadFilesFailAndLeaveTheTargetAlone)
{
    fixture::Tiff goodTiff = tiff(8, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, {});
    goodTiff.width = goodTiff.height = 64;
    goodTiff.rows.assign(64 * 64, 0);
    for (size_t i = 0; i < goodTiff.rows.size(); ++i)
        goodTiff.rows[i] = static_cast<uint8_t>(i * 7919 % 251);
    fixture::Png goodPng = png(8, 0, goodTiff.rows);
    goodPng.width = goodPng.height = 64;
    fixture::Bmp goodBmp = bmp(24, std::vector<uint8_t>(64 * 64 * 3, 0x55));
    goodBmp.width = goodBmp.height = 64;
    fixture::Bmp rleBmp = bmp(8, goodTiff.rows, std::vector<uint32_t>(256, 0x336699));
    rleBmp.width = rleBmp.height = 64;

    testutil::TempDir dir;
    ASSERT_TRUE(fixture::writeTiff(dir.file("good.tif"), goodTiff));
    const std::string tiffBytes = testutil::readBytes(dir.file("good.tif"));
    const std::string pngBytes = fixture::pngBytes(goodPng);
    const std::string bmpBytes = fixture::bmpBytes(goodBmp);

    std::string garbage(1000, '\0');
    for (size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(i * 2654435761u >> 13);
    auto patch = [](std::string s, size_t at, const std::string& with) { return s.replace(at, with.size(), with); };
    auto le = [](uint32_t v) { std::string s; fixture::put32le(s, v); return s; };
    std::string pngBadData = pngBytes;
    const size_t idat = pngBadData.find("IDAT");
    for (size_t i = idat + 8; i < idat + 40; ++i)
        pngBadData[i] = static_cast<char>(pngBadData[i] ^ 0x5A);

    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"empty file", ""},
        {"garbage", garbage},
        {"garbage behind a TIFF signature", "II*\0" + garbage},
        {"garbage behind a PNG signature", "\x89PNG\r\n\x1a\n" + garbage},
        {"garbage behind a BMP signature", "BM" + garbage},
        {"truncated TIFF", cut(tiffBytes, 0.6)},
        {"TIFF whose strip runs past the end", rawTiff(4000, 4000, 16000000, 100)},
        {"TIFF with less data than its size needs", rawTiff(400, 400, 100, 100)},
        {"TIFF claiming zero width", rawTiff(0, 4, 100, 100)},
        {"TIFF whose colour map lies past the end", rawTiff(10, 10, 100, 100, true)},
        {"truncated PNG", cut(pngBytes, 0.7)},
        {"PNG with corrupt image data", pngBadData},
        {"PNG claiming 60000 x 60000", fixture::pngClaimSize(pngBytes, 60000, 60000)},
        {"PNG claiming more rows than it has", fixture::pngClaimSize(pngBytes, 64, 3000)},
        {"truncated BMP", cut(bmpBytes, 0.8)},
        {"BMP claiming more rows than it has", patch(bmpBytes, 22, le(5000))},
        {"BMP claiming zero width", patch(bmpBytes, 18, le(0))},
        {"BMP claiming the largest size", patch(patch(bmpBytes, 18, le(INT32_MAX)), 22, le(INT32_MAX))},
        {"truncated RLE BMP", cut(fixture::bmpRle8Bytes(rleBmp), 0.7)},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("bad" + std::to_string(n++));
        testutil::writeBytes(path, c.bytes);
        Bitmap target(3, 2, pf24bit);
        target.image().setPixel(1, 1, qRgb(10, 20, 30));
        EXPECT_EQ(imgLoadToBitmap(path, target), 0);
        EXPECT_EQ(target.width(), 3);
        EXPECT_EQ(target.pixelFormat(), pf24bit);
        EXPECT_EQ(target.image().pixel(1, 1), qRgb(10, 20, 30));
        const std::string work = path + ".TMP";
        EXPECT_EQ(imgConvertTo1BitBmp(path, work, 128), 0);
        EXPECT_FALSE(std::filesystem::exists(work));
        EXPECT_EQ(imgGetFileDpi(path), 0);
    }
    Bitmap target;
    EXPECT_EQ(imgLoadToBitmap(dir.file("missing.tif"), target), 0);
    EXPECT_EQ(imgGetFileDpi(dir.file("missing.tif")), 0);
}

TEST(ImagingResolution, ReadFromTheFileOrZero)
{
    auto tiffRes = [](float xres, int unit) {
        fixture::Tiff t = tiff(1, 1, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, fixture::packBits(W, H, inkAt));
        t.xres = xres;
        t.resUnit = unit;
        return make(t);
    };
    auto pngRes = [](int unit, uint32_t perUnit) {
        fixture::Png p = png(8, 0, std::vector<uint8_t>(W * H, 128));
        p.physUnit = unit;
        p.physPerUnit = perUnit;
        return make(p);
    };
    auto bmpRes = [](int32_t ppm) {
        fixture::Bmp b = bmp(24, std::vector<uint8_t>(W * H * 3, 128));
        b.ppm = ppm;
        return make(b);
    };
    const struct {
        const char* name;
        Maker maker;
        int dpi;
    } cases[] = {
        {"tiff, inch", tiffRes(300, RESUNIT_INCH), 300},
        {"tiff, centimetre", tiffRes(118.11f, RESUNIT_CENTIMETER), 300},
        {"tiff, unit absent means inch", tiffRes(400, -1), 400},
        {"tiff, no absolute unit", tiffRes(300, RESUNIT_NONE), 0},
        {"tiff, no resolution", tiffRes(0, -1), 0},
        {"png, pHYs in metres", pngRes(1, 11811), 300},
        {"png, pHYs without unit", pngRes(0, 11811), 0},
        {"png, no pHYs", pngRes(-1, 0), 0},
        {"bmp, pixels per metre", bmpRes(7874), 200},
        {"bmp, no resolution", bmpRes(0), 0},
    };
    testutil::TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("res" + std::to_string(n++));
        c.maker(path);
        EXPECT_EQ(imgGetFileDpi(path), c.dpi);
    }
}

TEST(ImagingLoad, RealGroup4Scan)
{
    const std::string path = std::string(NURIVO_TEST_DATA) + "/scan-page-8071-g4.tif";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no " << path;
    Bitmap bmp;
    ASSERT_NE(imgLoadToBitmap(path, bmp), 0);
    EXPECT_EQ(bmp.pixelFormat(), pf1bit);
    EXPECT_EQ(bmp.width(), 3312);
    EXPECT_EQ(bmp.height(), 2550);
    EXPECT_EQ(imgGetFileDpi(path), 300);
}

} // namespace
