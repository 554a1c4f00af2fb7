// Writers for small raster fixtures made at run time: TIFF through libtiff (any compression
// and tag set, including lying ones), PNG and BMP byte by byte, so each test controls exactly
// which resolution fields a file carries.
#pragma once
#include "testutil.h"

#include <QByteArray>
#include <tiffio.h>

#include <cstdint>
#include <string>
#include <vector>

namespace fixture {

struct Tiff {
    int width = 0;
    int height = 0;
    int bitsPerSample = 1;
    int samplesPerPixel = 1;
    int photometric = PHOTOMETRIC_MINISWHITE;
    int compression = COMPRESSION_NONE;
    int extraSamples = 0;                    // alpha channels (unassociated)
    std::vector<uint16_t> colormap;          // red, green, blue (each 1 << bitsPerSample)
    float xres = 0;                          // 0: no resolution tags
    int resUnit = -1;                        // -1: no ResolutionUnit tag
    std::vector<uint8_t> rows;               // packed rows, top first, (w * bps * spp + 7) / 8 bytes each
};

inline int tiffRowBytes(const Tiff& t) { return (t.width * t.bitsPerSample * t.samplesPerPixel + 7) / 8; }

inline bool writeTiff(const std::string& path, const Tiff& t)
{
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif)
        return false;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(t.width));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(t.height));
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(t.bitsPerSample));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(t.samplesPerPixel));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, uint16_t(t.photometric));
    TIFFSetField(tif, TIFFTAG_COMPRESSION, uint16_t(t.compression));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, uint16_t(PLANARCONFIG_CONTIG));
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, uint32_t(t.height > 4 ? 4 : t.height));
    if (t.extraSamples > 0) {
        uint16_t kinds[4] = {EXTRASAMPLE_UNASSALPHA, EXTRASAMPLE_UNASSALPHA, EXTRASAMPLE_UNASSALPHA,
                             EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, uint16_t(t.extraSamples), kinds);
    }
    if (!t.colormap.empty()) {
        const size_t n = t.colormap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, t.colormap.data(), t.colormap.data() + n, t.colormap.data() + 2 * n);
    }
    if (t.xres > 0) {
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, t.xres);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, t.xres);
    }
    if (t.resUnit >= 0)
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, uint16_t(t.resUnit));
    std::vector<uint8_t> row(static_cast<size_t>(tiffRowBytes(t)));
    bool ok = true;
    for (int y = 0; y < t.height && ok; ++y) {
        std::copy(t.rows.begin() + y * tiffRowBytes(t), t.rows.begin() + (y + 1) * tiffRowBytes(t), row.begin());
        ok = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
    }
    TIFFClose(tif);
    return ok;
}

inline void put32be(std::string& s, uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

inline uint32_t crc32(const std::string& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline void pngChunk(std::string& png, const char* type, const std::string& data)
{
    put32be(png, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    png += body;
    put32be(png, crc32(body));
}

struct Png {
    int width = 0;
    int height = 0;
    int depth = 8;
    int colorType = 0;               // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
    std::string palette;             // PLTE bytes
    int physUnit = -1;               // -1: no pHYs; 0 unknown unit; 1 metre
    uint32_t physPerUnit = 0;
    std::vector<uint8_t> rows;       // packed rows, top first, without filter bytes
};

inline std::string pngBytes(const Png& p)
{
    static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    const int rowBytes = (p.width * p.depth * channels[p.colorType] + 7) / 8;
    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string ihdr;
    put32be(ihdr, uint32_t(p.width));
    put32be(ihdr, uint32_t(p.height));
    ihdr += static_cast<char>(p.depth);
    ihdr += static_cast<char>(p.colorType);
    ihdr += std::string(3, '\0');
    pngChunk(png, "IHDR", ihdr);
    if (!p.palette.empty())
        pngChunk(png, "PLTE", p.palette);
    if (p.physUnit >= 0) {
        std::string phys;
        put32be(phys, p.physPerUnit);
        put32be(phys, p.physPerUnit);
        phys += static_cast<char>(p.physUnit);
        pngChunk(png, "pHYs", phys);
    }
    QByteArray raw;
    for (int y = 0; y < p.height; ++y) {
        raw.append('\0'); // filter: none
        raw.append(reinterpret_cast<const char*>(p.rows.data()) + y * rowBytes, rowBytes);
    }
    const QByteArray z = qCompress(raw).mid(4); // drop Qt's length prefix: a plain zlib stream
    pngChunk(png, "IDAT", z.toStdString());
    pngChunk(png, "IEND", "");
    return png;
}

// A PNG's header changed to claim another size, with its checksum made right again, so that
// only the claim is wrong.
inline std::string pngClaimSize(std::string png, uint32_t width, uint32_t height)
{
    std::string dims;
    put32be(dims, width);
    put32be(dims, height);
    png.replace(16, 8, dims);
    std::string crc;
    put32be(crc, crc32(png.substr(12, 17)));
    png.replace(29, 4, crc);
    return png;
}

struct Bmp {
    int width = 0;
    int height = 0;
    int bpp = 24;
    std::vector<uint32_t> palette;   // 0x00RRGGBB
    int32_t ppm = 0;                 // pixels per metre
    bool rgb565 = false;             // 16 bits: 5-6-5 bit fields instead of 5-5-5
    std::vector<uint8_t> rows;       // packed rows, top first, unpadded
};

inline void put16le(std::string& s, uint32_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

inline void put32le(std::string& s, uint32_t v)
{
    put16le(s, v & 0xFFFF);
    put16le(s, v >> 16);
}

// File and information headers, bit-field masks and palette of a BMP whose pixel data of
// `dataSize` bytes follows them.
inline std::string bmpHead(const Bmp& b, uint32_t compression, uint32_t dataSize)
{
    const bool masks = compression == 3;
    const uint32_t offset = 54 + (masks ? 12 : 0) + 4 * static_cast<uint32_t>(b.palette.size());
    std::string s = "BM";
    put32le(s, offset + dataSize);
    put32le(s, 0);
    put32le(s, offset);
    put32le(s, 40);
    put32le(s, uint32_t(b.width));
    put32le(s, uint32_t(b.height));
    put16le(s, 1);
    put16le(s, uint32_t(b.bpp));
    put32le(s, compression);
    put32le(s, dataSize);
    put32le(s, uint32_t(b.ppm));
    put32le(s, uint32_t(b.ppm));
    put32le(s, uint32_t(b.palette.size()));
    put32le(s, 0);
    if (masks) {
        put32le(s, 0xF800);
        put32le(s, 0x07E0);
        put32le(s, 0x001F);
    }
    for (uint32_t c : b.palette)
        put32le(s, c);
    return s;
}

inline std::string bmpBytes(const Bmp& b)
{
    const int rowBytes = (b.width * b.bpp + 7) / 8;
    const int stride = (b.width * b.bpp + 31) / 32 * 4;
    std::string s = bmpHead(b, b.bpp == 16 && b.rgb565 ? 3 : 0, uint32_t(stride * b.height));
    for (int y = b.height - 1; y >= 0; --y) {
        s.append(reinterpret_cast<const char*>(b.rows.data()) + y * rowBytes, static_cast<size_t>(rowBytes));
        s.append(static_cast<size_t>(stride - rowBytes), '\0');
    }
    return s;
}

// An eight-bit BMP with run-length coded rows (BI_RLE8: one run per pixel, an end-of-row mark
// after each row, the end-of-bitmap mark last); `b.rows` holds one palette index per pixel.
inline std::string bmpRle8Bytes(Bmp b)
{
    std::string data;
    for (int y = b.height - 1; y >= 0; --y) {
        for (int x = 0; x < b.width; ++x) {
            data += '\x01';
            data += static_cast<char>(b.rows[static_cast<size_t>(y * b.width + x)]);
        }
        data += std::string("\0\0", 2);
    }
    data += std::string("\0\x01", 2);
    b.bpp = 8;
    return bmpHead(b, 1, uint32_t(data.size())) + data;
}

// Packs one bit per pixel, most significant bit first, from a predicate over (x, y).
template <class F>
std::vector<uint8_t> packBits(int w, int h, F bitAt)
{
    const int rowBytes = (w + 7) / 8;
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * h), 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (bitAt(x, y))
                rows[static_cast<size_t>(y * rowBytes + x / 8)] |= static_cast<uint8_t>(0x80 >> (x % 8));
    return rows;
}

} // namespace fixture
