#include "render/imaging.h"

#include "platform/message.h"
#include "platform/textfile.h"

#include <QFile>
#include <QImageReader>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <istream>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Large enough for an A0 sheet at 400 dpi held in 32 bits per pixel (about 1 GB).
constexpr int kAllocationLimitMB = 2048;
// Reductions beyond this many target pixels are refused rather than tried.
constexpr int64_t kMaxTargetPixels = int64_t(1) << 30;
// A source row is summed across in 32 bits, 255 at most per source pixel: wider rows are refused.
constexpr int kMaxSourceWidth = 1 << 24;

enum class RasterKind { Tiff, Png, Bmp };

// What the file's header says, read without decoding the pixels.
struct RasterHeader {
    RasterKind kind = RasterKind::Tiff;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    bool colour = false;   // colour or palette samples
    bool alpha = false;    // an alpha channel or transparency
    bool rgb565 = false;   // sixteen-bit BMP with 5-6-5 masks
    int dpi = 0;           // 0: the file stores no resolution
};

int dpiFrom(double perUnit, double unitsPerInch)
{
    const double dpi = perUnit * unitsPerInch;
    if (!(dpi > 0.0) || dpi > 1.0e6) // also rejects NaN
        return 0;
    return static_cast<int>(std::lround(dpi));
}

uint32_t be32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t le16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

int quietTiffHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff drops a tag whose values lie past the end of the file with only a warning (a colour
// map so lost turns a palette image into a grey one): such a file is cut short.
int tiffWarningHandler(TIFF*, void* cutShort, const char*, const char* format, va_list)
{
    if (format && std::strstr(format, "IO error"))
        *static_cast<bool*>(cutShort) = true;
    return 1;
}

// TIFF through libtiff: Qt reports a placeholder resolution when the tag is absent, and
// cannot say whether the strips lie inside the file.
bool readTiffHeader(int fd, const std::string& path, int64_t fileSize, RasterHeader& h)
{
    const int own = ::dup(fd); // libtiff closes the descriptor it is given
    if (own < 0)
        return false;
    if (::lseek(own, 0, SEEK_SET) != 0) { // libtiff reads the header where the descriptor stands
        ::close(own);
        return false;
    }
    bool cutShort = false;
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, quietTiffHandler, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, tiffWarningHandler, &cutShort);
    TIFF* tif = TIFFFdOpenExt(own, path.c_str(), "rm", opts); // "m": no mapping of the whole file
    TIFFOpenOptionsFree(opts);
    if (!tif) {
        ::close(own);
        return false;
    }
    bool ok = !cutShort;
    uint32_t w = 0, len = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &len) || w == 0 ||
        len == 0 || w > uint32_t(INT32_MAX) || len > uint32_t(INT32_MAX))
        ok = false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    uint16_t extraCount = 0;
    uint16_t* extraTypes = nullptr;
    TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);

    // Every strip or tile must lie inside the file; a file that claims more is cut short.
    const bool tiled = TIFFIsTiled(tif);
    const uint32_t chunks = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    uint64_t* offsets = nullptr;
    uint64_t* counts = nullptr;
    if (ok && (!TIFFGetField(tif, tiled ? TIFFTAG_TILEOFFSETS : TIFFTAG_STRIPOFFSETS, &offsets) ||
               !TIFFGetField(tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) || !offsets ||
               !counts || chunks == 0))
        ok = false;
    for (uint32_t i = 0; ok && i < chunks; ++i)
        if (counts[i] == 0 || offsets[i] > uint64_t(fileSize) || counts[i] > uint64_t(fileSize) - offsets[i])
            ok = false;

    if (ok) {
        h.kind = RasterKind::Tiff;
        h.width = static_cast<int>(w);
        h.height = static_cast<int>(len);
        h.bitsPerPixel = int(bps) * int(spp);
        h.colour = photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK;
        h.alpha = extraCount > 0;
        float xres = 0.0f;
        TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit); // absent means inch
        if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres)) {
            if (unit == RESUNIT_INCH)
                h.dpi = dpiFrom(xres, 1.0);
            else if (unit == RESUNIT_CENTIMETER)
                h.dpi = dpiFrom(xres, 2.54);
        }
    }
    TIFFClose(tif);
    return ok;
}

// PNG: IHDR, pHYs (metres only; "unknown unit" is an aspect ratio, not a resolution), and a
// walk over the chunks to the end, so a cut-off file is known before it is decoded.
bool readPngHeader(std::istream& in, int64_t fileSize, RasterHeader& h)
{
    unsigned char ihdr[25];
    in.seekg(8);
    if (!in.read(reinterpret_cast<char*>(ihdr), sizeof ihdr) || be32(ihdr) != 13 || std::memcmp(ihdr + 4, "IHDR", 4))
        return false;
    const uint32_t w = be32(ihdr + 8), len = be32(ihdr + 12);
    const int depth = ihdr[16], type = ihdr[17];
    if (w == 0 || len == 0 || w > uint32_t(INT32_MAX) || len > uint32_t(INT32_MAX))
        return false;
    int channels = 0;
    switch (type) {
    case 0: channels = 1; break;
    case 2: channels = 3; break;
    case 3: channels = 1; break;
    case 4: channels = 2; break;
    case 6: channels = 4; break;
    default: return false;
    }
    h.kind = RasterKind::Png;
    h.width = static_cast<int>(w);
    h.height = static_cast<int>(len);
    h.bitsPerPixel = depth * channels;
    h.colour = type == 2 || type == 3 || type == 6;
    h.alpha = type == 4 || type == 6;
    int64_t pos = 8 + 25;
    bool sawData = false;
    while (true) {
        unsigned char chunk[8];
        if (pos + 12 > fileSize)
            return false;
        in.seekg(pos);
        if (!in.read(reinterpret_cast<char*>(chunk), sizeof chunk))
            return false;
        const int64_t length = be32(chunk);
        if (length > fileSize - pos - 12)
            return false;
        if (!std::memcmp(chunk + 4, "IEND", 4))
            return sawData;
        if (!std::memcmp(chunk + 4, "IDAT", 4))
            sawData = true;
        else if (!std::memcmp(chunk + 4, "tRNS", 4))
            h.alpha = true;
        else if (!std::memcmp(chunk + 4, "pHYs", 4) && length == 9) {
            unsigned char phys[9];
            if (!in.read(reinterpret_cast<char*>(phys), sizeof phys))
                return false;
            if (phys[8] == 1)
                h.dpi = dpiFrom(be32(phys), 0.0254);
        }
        pos += 12 + length;
    }
}

// Run-length coded BMP rows (RLE8, RLE4): the codes must reach the end-of-bitmap mark, or end
// every row, before the file ends. Qt shows a cut-off file as a whole one, blank at the end.
bool rleComplete(std::istream& in, uint32_t dataOffset, int64_t height, bool fourBit)
{
    in.clear();
    if (!in.seekg(dataOffset))
        return false;
    std::streambuf* buf = in.rdbuf();
    auto next = [buf](int& v) { return (v = buf->sbumpc()) != std::char_traits<char>::eof(); };
    int64_t rows = 0;
    int count = 0, code = 0;
    while (next(count) && next(code)) {
        if (count > 0) // a run of one value
            continue;
        if (code == 0) { // end of a row
            if (++rows >= height)
                return true;
        } else if (code == 1) { // end of the bitmap
            return true;
        } else if (code == 2) { // skip right and down
            int dx = 0, dy = 0;
            if (!next(dx) || !next(dy))
                return false;
            rows += dy;
        } else { // `code` literal pixels, padded to an even number of bytes
            int bytes = fourBit ? (code + 1) / 2 : code;
            bytes += bytes & 1;
            int skipped = 0;
            while (bytes-- > 0)
                if (!next(skipped))
                    return false;
        }
    }
    return false;
}

// BMP: the information header, and for uncompressed rows whether they all fit in the file.
bool readBmpHeader(std::istream& in, int64_t fileSize, RasterHeader& h)
{
    unsigned char hdr[70] = {};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(hdr), sizeof hdr);
    const std::streamsize got = in.gcount();
    if (got < 26)
        return false;
    const uint32_t dataOffset = le32(hdr + 10);
    const uint32_t infoSize = le32(hdr + 14);
    int64_t w = 0, len = 0;
    int bpp = 0;
    uint32_t compression = 0;
    if (infoSize == 12) {
        w = le16(hdr + 18);
        len = le16(hdr + 20);
        bpp = le16(hdr + 24);
    } else if (infoSize >= 40 && got >= 54) {
        w = static_cast<int32_t>(le32(hdr + 18));
        len = static_cast<int32_t>(le32(hdr + 22));
        bpp = le16(hdr + 28);
        compression = le32(hdr + 30);
        const int32_t ppm = static_cast<int32_t>(le32(hdr + 38));
        h.dpi = ppm > 0 ? dpiFrom(ppm, 0.0254) : 0;
        if (bpp == 16 && compression == 3 && got >= 58)
            h.rgb565 = le32(hdr + 54) == 0xF800;
        if (bpp == 32 && infoSize >= 56 && got >= 70)
            h.alpha = le32(hdr + 66) != 0;
    } else {
        return false;
    }
    len = len < 0 ? -len : len; // negative height: rows stored top-down
    if (w <= 0 || len <= 0 || w > INT32_MAX || len > INT32_MAX)
        return false;
    if (compression == 0 || compression == 3) {
        const int64_t stride = ((w * bpp + 31) / 32) * 4;
        // Divided rather than multiplied: a lying header's stride times height overflows.
        if (int64_t(dataOffset) > fileSize || stride > (fileSize - int64_t(dataOffset)) / len)
            return false;
    } else if ((compression == 1 && bpp == 8) || (compression == 2 && bpp == 4)) {
        if (int64_t(dataOffset) >= fileSize || !rleComplete(in, dataOffset, len, compression == 2))
            return false;
    }
    h.kind = RasterKind::Bmp;
    h.width = static_cast<int>(w);
    h.height = static_cast<int>(len);
    h.bitsPerPixel = bpp;
    h.colour = true; // palettes are judged by their entries after loading
    return true;
}

// A raster opened for reading: a regular file only, so that no reader waits on a FIFO or
// reads a device without end; every reader below reads from this one descriptor.
class RasterFile {
public:
    explicit RasterFile(const std::string& path) : path_(path), fd_(openRegularFile(path)) {}
    ~RasterFile()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    RasterFile(const RasterFile&) = delete;
    RasterFile& operator=(const RasterFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& path() const { return path_; }

    // A reader for Qt's image plugins over the same descriptor, from the start of the file.
    bool openDevice(QFile& device) const
    {
        return ::lseek(fd_, 0, SEEK_SET) == 0 && device.open(fd_, QIODevice::ReadOnly, QFileDevice::DontCloseHandle);
    }

private:
    std::string path_;
    int fd_;
};

bool readRasterHeader(const RasterFile& file, RasterHeader& h)
{
    struct stat st {};
    if (!file.isOpen() || ::fstat(file.fd(), &st) != 0)
        return false;
    const int64_t fileSize = static_cast<int64_t>(st.st_size);
    const int own = ::dup(file.fd());
    if (own < 0 || ::lseek(own, 0, SEEK_SET) != 0) {
        if (own >= 0)
            ::close(own);
        return false;
    }
    __gnu_cxx::stdio_filebuf<char> buffer(own, std::ios::in | std::ios::binary); // closes `own`
    std::istream in(&buffer);
    unsigned char magic[8] = {};
    if (fileSize < 8 || !in.read(reinterpret_cast<char*>(magic), sizeof magic))
        return false;
    if (!std::memcmp(magic, "\x89PNG\r\n\x1a\n", 8))
        return readPngHeader(in, fileSize, h);
    if (magic[0] == 'B' && magic[1] == 'M')
        return readBmpHeader(in, fileSize, h);
    if ((magic[0] == 'I' && magic[1] == 'I') || (magic[0] == 'M' && magic[1] == 'M'))
        return readTiffHeader(file.fd(), file.path(), fileSize, h);
    return false;
}

// The pixel format for a header. Depths the system knows keep their format; the others are
// held without losing what they carry: grey and small palettes in eight bits, colour in 24
// bits, colour with transparency in 32.
PixelFormat pixelFormatFor(const RasterHeader& h)
{
    switch (h.bitsPerPixel) {
    case 1: return pf1bit;
    case 4: return pf4bit;
    case 8: return pf8bit;
    case 15: return pf15bit;
    case 16:
        if (h.kind == RasterKind::Bmp)
            return h.rgb565 ? pf16bit : pf15bit;
        break;
    case 24:
        if (h.colour && !h.alpha)
            return pf24bit;
        break;
    case 32:
        if (h.colour)
            return pf32bit;
        break;
    default:
        break;
    }
    if (h.bitsPerPixel < 8 || !h.colour)
        return pf8bit;
    return h.alpha ? pf32bit : pf24bit;
}

bool loadRaster(const RasterFile& file, Bitmap& out, int* dpi)
{
    RasterHeader h;
    if (!readRasterHeader(file, h))
        return false;
    if (QImageReader::allocationLimit() < kAllocationLimitMB)
        QImageReader::setAllocationLimit(kAllocationLimitMB);
    QFile device;
    if (!file.openDevice(device))
        return false;
    QImageReader reader(&device);
    QImage image;
    if (!reader.read(&image) || image.width() != h.width || image.height() != h.height)
        return false;
    Bitmap loaded(std::move(image), pixelFormatFor(h));
    if (loaded.isEmpty())
        return false;
    out = std::move(loaded);
    if (dpi)
        *dpi = h.dpi;
    return true;
}

// ---- Work image ----

void put16(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// Luminance of one row of a bitmap that is not one bit, into `luma`.
void rowLuma(const QImage& image, int y, std::vector<uchar>& luma)
{
    const int w = image.width();
    const uchar* s = image.constScanLine(y);
    switch (image.format()) {
    case QImage::Format_Grayscale8:
        std::memcpy(luma.data(), s, static_cast<size_t>(w));
        return;
    case QImage::Format_RGB888:
        for (int x = 0; x < w; ++x)
            luma[x] = static_cast<uchar>(Bitmap::lumaOf(qRgb(s[3 * x], s[3 * x + 1], s[3 * x + 2])));
        return;
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32: {
        const QRgb* p = reinterpret_cast<const QRgb*>(s);
        for (int x = 0; x < w; ++x)
            luma[x] = static_cast<uchar>(Bitmap::lumaOf(p[x]));
        return;
    }
    default:
        for (int x = 0; x < w; ++x)
            luma[x] = static_cast<uchar>(Bitmap::lumaOf(image.pixel(x, y)));
        return;
    }
}

bool writeWorkImage(const Bitmap& bmp, const std::string& path, int threshold, int dpi)
{
    const QImage& image = bmp.image();
    const int w = image.width(), h = image.height();
    const uint64_t stride = (uint64_t(w) + 31) / 32 * 4;
    const uint64_t dataSize = stride * uint64_t(h);
    if (dataSize + 62 > UINT32_MAX)
        return false;

    unsigned char header[62] = {};
    header[0] = 'B';
    header[1] = 'M';
    put32(header + 2, static_cast<uint32_t>(dataSize + 62));
    put32(header + 10, 62);
    put32(header + 14, 40);
    put32(header + 18, static_cast<uint32_t>(w));
    put32(header + 22, static_cast<uint32_t>(h)); // positive: rows bottom-up
    put16(header + 26, 1);
    put16(header + 28, 1);
    put32(header + 30, 0);
    put32(header + 34, static_cast<uint32_t>(dataSize));
    const uint32_t ppm = dpi > 0 ? static_cast<uint32_t>(std::lround(dpi / 0.0254)) : 0;
    put32(header + 38, ppm);
    put32(header + 42, ppm);
    put32(header + 46, 2);
    QRgb palette[2] = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
    if (bmp.isOneBit()) {
        const QList<QRgb> table = image.colorTable();
        for (int i = 0; i < 2 && i < table.size(); ++i)
            palette[i] = table[i];
    }
    for (int i = 0; i < 2; ++i) {
        header[54 + 4 * i] = static_cast<unsigned char>(qBlue(palette[i]));
        header[55 + 4 * i] = static_cast<unsigned char>(qGreen(palette[i]));
        header[56 + 4 * i] = static_cast<unsigned char>(qRed(palette[i]));
    }

    // Created or emptied as fopen "wb" would, but a FIFO with no reader is refused, not waited on.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat target {};
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* f = nullptr;
    if (::fstat(fd, &target) == 0 && (S_ISREG(target.st_mode) || S_ISCHR(target.st_mode)) && flags >= 0 &&
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        f = ::fdopen(fd, "wb");
    if (!f) {
        ::close(fd);
        return false;
    }
    // Only a file of our own is removed when the write fails, never a device named as the target.
    struct stat st {};
    const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    std::vector<uchar> row(stride);
    std::vector<uchar> luma(bmp.isOneBit() ? 0 : static_cast<size_t>(w));
    const int tailBits = w % 8;
    const size_t usedBytes = (static_cast<size_t>(w) + 7) / 8;
    for (int y = h - 1; ok && y >= 0; --y) {
        std::fill(row.begin(), row.end(), 0);
        if (bmp.isOneBit()) {
            std::memcpy(row.data(), image.constScanLine(y), usedBytes);
            if (tailBits) // bits past the last pixel are padding
                row[usedBytes - 1] &= static_cast<uchar>(0xFF << (8 - tailBits));
        } else {
            rowLuma(image, y, luma);
            for (int x = 0; x < w; ++x)
                if (luma[x] >= threshold)
                    row[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
        }
        ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
    }
    ok = std::fclose(f) == 0 && ok;
    if (!ok && regular)
        std::remove(path.c_str()); // a cut-off work image must not look like one
    return ok;
}

// ---- Reductions ----

// How the source spans of one axis fall on the target: target pixel i covers source pixels
// first[i] .. last[i]; in units where a source pixel is `targetCount` long and a target pixel
// `sourceCount` long, the first and last of them weigh firstWeight and lastWeight, those in
// between targetCount. A target pixel's weights add up to sourceCount.
struct AxisSpans {
    std::vector<int> first, last;
    std::vector<uint32_t> firstWeight, lastWeight;
    uint32_t inner = 0;
};

AxisSpans axisSpans(int sourceCount, int targetCount)
{
    AxisSpans a;
    a.first.resize(targetCount);
    a.last.resize(targetCount);
    a.firstWeight.resize(targetCount);
    a.lastWeight.resize(targetCount);
    a.inner = static_cast<uint32_t>(targetCount);
    const int64_t s = sourceCount, t = targetCount;
    for (int64_t i = 0; i < t; ++i) {
        const int64_t lo = i * s, hi = (i + 1) * s; // target pixel's extent
        const int64_t j0 = lo / t, j1 = (hi - 1) / t;
        a.first[i] = static_cast<int>(j0);
        a.last[i] = static_cast<int>(j1);
        if (j0 == j1) {
            a.firstWeight[i] = static_cast<uint32_t>(hi - lo);
            a.lastWeight[i] = 0;
        } else {
            a.firstWeight[i] = static_cast<uint32_t>((j0 + 1) * t - lo);
            a.lastWeight[i] = static_cast<uint32_t>(hi - j1 * t);
        }
    }
    return a;
}

// Supplies source rows as bytes, `channels` per pixel, in the order the target stores them.
class RowSource {
public:
    RowSource(const QImage& image, int channels) : image_(image), channels_(channels)
    {
        const int w = image.width();
        const QImage::Format f = image.format();
        if (f == QImage::Format_Mono) {
            const QList<QRgb> table = image.colorTable();
            const uchar g0 = static_cast<uchar>(table.size() > 0 ? Bitmap::lumaOf(table[0]) : 0);
            const uchar g1 = static_cast<uchar>(table.size() > 1 ? Bitmap::lumaOf(table[1]) : 255);
            for (int b = 0; b < 256; ++b)
                for (int k = 0; k < 8; ++k)
                    unpack_[b][k] = (b & (0x80 >> k)) ? g1 : g0;
            buffer_.resize((static_cast<size_t>(w) + 7) / 8 * 8);
        } else if (!direct()) {
            buffer_.resize(static_cast<size_t>(w) * static_cast<size_t>(channels));
        }
    }

    const uchar* row(int y)
    {
        const uchar* s = image_.constScanLine(y);
        const int w = image_.width();
        switch (image_.format()) {
        case QImage::Format_Mono: {
            const int bytes = (w + 7) / 8;
            uchar* d = buffer_.data();
            for (int i = 0; i < bytes; ++i)
                std::memcpy(d + 8 * i, unpack_[s[i]], 8);
            return d;
        }
        case QImage::Format_Grayscale8:
        case QImage::Format_RGB888:
        case QImage::Format_RGB32:
            if (direct())
                return s;
            break;
        default:
            break;
        }
        uchar* d = buffer_.data();
        for (int x = 0; x < w; ++x) {
            const QRgb c = pixelAt(s, x, y);
            if (channels_ == 1)
                d[x] = static_cast<uchar>(Bitmap::lumaOf(c));
            else {
                d[3 * x] = static_cast<uchar>(qRed(c));
                d[3 * x + 1] = static_cast<uchar>(qGreen(c));
                d[3 * x + 2] = static_cast<uchar>(qBlue(c));
            }
        }
        return d;
    }

private:
    // Rows that already have the target's byte layout are read in place.
    bool direct() const
    {
        const QImage::Format f = image_.format();
        return (f == QImage::Format_Grayscale8 && channels_ == 1) || (f == QImage::Format_RGB888 && channels_ == 3) ||
               (f == QImage::Format_RGB32 && channels_ == 4);
    }

    QRgb pixelAt(const uchar* s, int x, int y) const
    {
        switch (image_.format()) {
        case QImage::Format_RGB888:
            return qRgb(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
        case QImage::Format_RGB32:
            return reinterpret_cast<const QRgb*>(s)[x];
        case QImage::Format_Grayscale8:
            return qRgb(s[x], s[x], s[x]);
        case QImage::Format_RGB16: {
            const uint16_t p = reinterpret_cast<const uint16_t*>(s)[x];
            const int r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
            return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
        }
        case QImage::Format_RGB555: {
            const uint16_t p = reinterpret_cast<const uint16_t*>(s)[x];
            const int r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
            return qRgb((r << 3) | (r >> 2), (g << 3) | (g >> 2), (b << 3) | (b >> 2));
        }
        default:
            return image_.pixel(x, y);
        }
    }

    const QImage& image_;
    int channels_;
    uchar unpack_[256][8] = {};
    std::vector<uchar> buffer_;
};

// Where the target's rows are written: its pixels and row length, taken once, so that the
// threads writing bands of rows never touch the QImage itself (scanLine() counts detaches).
struct TargetRows {
    uchar* bits;
    qsizetype bytesPerLine;
    int width;
    int firstRow = 0; // the reduction's row that the first row of `bits` holds
};

// Target rows [rowBegin, rowEnd) of an area-averaging resample of `src` into `dst`, C bytes
// per pixel on both sides. Each target pixel is the mean of the source area it covers,
// weighted by exact overlap, so thin lines fade to grey instead of vanishing between samples.
template <int C>
void resampleRows(const QImage& src, const TargetRows& dst, const AxisSpans& xs, const AxisSpans& ys, int rowBegin,
                  int rowEnd)
{
    const int tw = dst.width;
    RowSource source(src, C);
    const size_t rowValues = static_cast<size_t>(tw) * C;
    std::vector<uint32_t> across(rowValues); // one source row summed across
    std::vector<uint64_t> down(rowValues);   // weighted sum of those rows
    int acrossRow = -1;
    const double inverseTotal = 1.0 / (double(src.width()) * double(src.height()));

    auto sumAcross = [&](int y) {
        if (y == acrossRow)
            return;
        acrossRow = y;
        const uchar* s = source.row(y);
        uint32_t* a = across.data();
        for (int i = 0; i < tw; ++i, a += C) {
            const int j0 = xs.first[i], j1 = xs.last[i];
            const uchar* p = s + j0 * C;
            for (int k = 0; k < C; ++k)
                a[k] = xs.firstWeight[i] * p[k];
            if (j1 > j0) {
                uint32_t mid[C] = {};
                for (p += C; p < s + j1 * C; p += C)
                    for (int k = 0; k < C; ++k)
                        mid[k] += p[k];
                for (int k = 0; k < C; ++k)
                    a[k] += mid[k] * xs.inner + xs.lastWeight[i] * p[k];
            }
        }
    };
    auto addDown = [&](uint32_t weight) {
        for (size_t k = 0; k < rowValues; ++k)
            down[k] += uint64_t(weight) * across[k];
    };

    for (int i = rowBegin; i < rowEnd; ++i) {
        std::fill(down.begin(), down.end(), 0);
        const int j0 = ys.first[i], j1 = ys.last[i];
        sumAcross(j0);
        addDown(ys.firstWeight[i]);
        for (int j = j0 + 1; j < j1; ++j) {
            sumAcross(j);
            addDown(ys.inner);
        }
        if (j1 > j0) {
            sumAcross(j1);
            addDown(ys.lastWeight[i]);
        }
        uchar* d = dst.bits + (i - dst.firstRow) * dst.bytesPerLine;
        for (size_t k = 0; k < rowValues; ++k)
            d[k] = static_cast<uchar>(double(down[k]) * inverseTotal + 0.5);
        if (C == 4) // RGB32 keeps its pad byte opaque
            for (int x = 0; x < tw; ++x)
                d[4 * x + 3] = 255;
    }
}

// resampleRows<1> for one-bit sources, with the same result to the byte. A target pixel's sum
// is linear in the source bits: g0 * sourceWidth * sourceHeight + (g1 - g0) times the weighted
// count of its set bits. So the rows inside a target row are counted down each column first,
// eight columns to a 64-bit add of a byte-spread source byte, and its area is weighed across
// once per target row rather than once per source row.
void resampleMonoRows(const QImage& src, const TargetRows& dst, const AxisSpans& xs, const AxisSpans& ys,
                      int rowBegin, int rowEnd)
{
    const int tw = dst.width;
    const size_t used = (static_cast<size_t>(src.width()) + 7) / 8, columns = used * 8;
    const QList<QRgb> table = src.colorTable();
    const int64_t g0 = table.size() > 0 ? Bitmap::lumaOf(table[0]) : 0;
    const int64_t g1 = table.size() > 1 ? Bitmap::lumaOf(table[1]) : 255;
    const int64_t allFirst = g0 * int64_t(src.width()) * int64_t(src.height());
    const double inverseTotal = 1.0 / (double(src.width()) * double(src.height()));

    uint64_t spread[256]; // a source byte's pixels, one byte each, in column order
    for (int b = 0; b < 256; ++b) {
        uchar bytes[8];
        for (int k = 0; k < 8; ++k)
            bytes[k] = static_cast<uchar>((b >> (7 - k)) & 1);
        std::memcpy(&spread[b], bytes, 8);
    }
    std::vector<uint64_t> recent(used), firstRow(used), lastRow(used); // a byte per column
    std::vector<uint32_t> counted(columns), column(columns);
    const uchar* recent8 = reinterpret_cast<const uchar*>(recent.data());
    const uchar* first8 = reinterpret_cast<const uchar*>(firstRow.data());
    const uchar* last8 = reinterpret_cast<const uchar*>(lastRow.data());
    auto spreadRow = [&](int y, std::vector<uint64_t>& out) {
        const uchar* s = src.constScanLine(y);
        for (size_t k = 0; k < used; ++k)
            out[k] = spread[s[k]];
    };
    auto flush = [&] { // byte counters hold at most 255 rows
        for (size_t x = 0; x < columns; ++x)
            counted[x] += recent8[x];
        std::fill(recent.begin(), recent.end(), 0);
    };

    for (int i = rowBegin; i < rowEnd; ++i) {
        const int j0 = ys.first[i], j1 = ys.last[i];
        std::fill(counted.begin(), counted.end(), 0);
        std::fill(recent.begin(), recent.end(), 0);
        int pending = 0;
        for (int j = j0 + 1; j < j1; ++j) {
            const uchar* s = src.constScanLine(j);
            for (size_t k = 0; k < used; ++k)
                recent[k] += spread[s[k]];
            if (++pending == 255) {
                flush();
                pending = 0;
            }
        }
        spreadRow(j0, firstRow);
        if (j1 > j0)
            spreadRow(j1, lastRow);
        else
            std::fill(lastRow.begin(), lastRow.end(), 0);
        const uint32_t wf = ys.firstWeight[i], wl = ys.lastWeight[i], wi = ys.inner;
        for (size_t x = 0; x < columns; ++x) // each column's set bits weighed down the target row
            column[x] = wi * (counted[x] + recent8[x]) + wf * first8[x] + wl * last8[x];

        uchar* d = dst.bits + (i - dst.firstRow) * dst.bytesPerLine;
        for (int t = 0; t < tw; ++t) {
            const int c0 = xs.first[t], c1 = xs.last[t];
            uint64_t ones = uint64_t(xs.firstWeight[t]) * column[c0];
            if (c1 > c0) {
                uint64_t mid = 0;
                for (int x = c0 + 1; x < c1; ++x)
                    mid += column[x];
                ones += mid * xs.inner + uint64_t(xs.lastWeight[t]) * column[c1];
            }
            const int64_t sum = allFirst + (g1 - g0) * static_cast<int64_t>(ones);
            d[t] = static_cast<uchar>(double(static_cast<uint64_t>(sum)) * inverseTotal + 0.5);
        }
    }
}

// Resamples `src` into `dst` (already sized), in bands of target rows on several threads when
// the source is large: a sheet's reductions are made while the operator waits. With
// `fullHeight` set, `dst` holds the rows from `firstRow` on of a reduction that is
// `fullHeight` rows high.
void areaResample(const QImage& src, QImage& dst, int channels, int fullHeight = 0, int firstRow = 0)
{
    if (fullHeight <= 0)
        fullHeight = dst.height();
    const AxisSpans xs = axisSpans(src.width(), dst.width()), ys = axisSpans(src.height(), fullHeight);
    const TargetRows rows{dst.bits(), dst.bytesPerLine(), dst.width(), firstRow};
    // Counting down the columns first pays once a target row gathers a few source rows; with
    // fewer, the whole-width pass per target row costs more than it saves. Its buffers take
    // about eleven bytes a source column on each thread, so rows past a million pixels keep
    // the per-row sums.
    const bool countDown = channels == 1 && src.format() == QImage::Format_Mono && src.width() <= (1 << 20) &&
                           int64_t(src.height()) >= 4 * int64_t(fullHeight);
    auto run = [&](int begin, int end) {
        begin += firstRow;
        end += firstRow;
        if (countDown) {
            resampleMonoRows(src, rows, xs, ys, begin, end);
            return;
        }
        switch (channels) {
        case 1: resampleRows<1>(src, rows, xs, ys, begin, end); break;
        case 3: resampleRows<3>(src, rows, xs, ys, begin, end); break;
        default: resampleRows<4>(src, rows, xs, ys, begin, end); break;
        }
    };
    const int th = dst.height();
    const int64_t work = int64_t(src.width()) * src.height() + int64_t(dst.width()) * th;
    int bands = static_cast<int>(std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()), 8u));
    bands = std::min(bands, std::max(1, th / 16));
    if (work < (int64_t(1) << 22))
        bands = 1;
    std::vector<std::thread> threads;
    try {
        for (int b = 1; b < bands; ++b)
            threads.emplace_back(run, int(int64_t(th) * b / bands), int(int64_t(th) * (b + 1) / bands));
    } catch (const std::system_error&) { // no more threads: this one does the rest
        const int done = int(int64_t(th) * (int(threads.size()) + 1) / bands);
        for (auto& t : threads)
            t.join();
        run(0, int(int64_t(th) / bands));
        run(done, th);
        return;
    }
    run(0, int(int64_t(th) / bands));
    for (auto& t : threads)
        t.join();
}

bool targetSizeOk(const Bitmap& source, int width, int height)
{
    return !source.isEmpty() && source.width() <= kMaxSourceWidth && width > 0 && height > 0 &&
           int64_t(width) * int64_t(height) <= kMaxTargetPixels;
}

Bitmap resizeToGrey(const Bitmap& source, int width, int height)
{
    QImage out(width, height, QImage::Format_Grayscale8);
    if (out.isNull())
        return Bitmap();
    areaResample(source.image(), out, 1);
    return Bitmap(std::move(out), pf8bit);
}

bool isGreyStorage(const QImage& image)
{
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_Grayscale8;
}

// The pixel format of a reduction: grey for one-bit and grey sources, colour stays colour.
PixelFormat reducedFormat(const Bitmap& source) { return isGreyStorage(source.image()) ? pf8bit : source.pixelFormat(); }

} // namespace

int imgGetFileSize(const std::string& path, int& width, int& height)
{
    RasterHeader h;
    if (!readRasterHeader(RasterFile(path), h))
        return 0;
    width = h.width;
    height = h.height;
    return 1;
}

int imgGetFileDpi(const std::string& path)
{
    RasterFile file(path);
    RasterHeader h;
    if (!readRasterHeader(file, h))
        return 0;
    QFile device;
    if (!file.openDevice(device))
        return 0;
    QImageReader reader(&device);
    if (!reader.canRead())
        return 0;
    return h.dpi;
}

int imgLoadToBitmap(const std::string& path, Bitmap& bitmap)
{
    return loadRaster(RasterFile(path), bitmap, nullptr) ? 1 : 0;
}

int imgConvertTo1BitBmp(const std::string& source, const std::string& destination, int threshold)
{
    RasterFile file(source);
    // The work image may never be written over its own raster: not by the same name, nor
    // through a link or a hard link to it.
    struct stat from {}, to {};
    if (!file.isOpen() || ::fstat(file.fd(), &from) != 0 ||
        (::stat(destination.c_str(), &to) == 0 && to.st_dev == from.st_dev && to.st_ino == from.st_ino))
        return 0;
    Bitmap bmp;
    int dpi = 0;
    if (!loadRaster(file, bmp, &dpi))
        return 0;
    // A work image that could not be written is a failure too: the caller then tells the
    // operator so, instead of the launcher blaming the raster.
    return writeWorkImage(bmp, destination, threshold, dpi) ? 1 : 0;
}

int imgResizeRefine1Bit(int width, int height, const Bitmap& source, Bitmap& target)
{
    if (!targetSizeOk(source, width, height))
        return 0;
    Bitmap reduced = resizeToGrey(source, width, height);
    if (reduced.isEmpty())
        return 0;
    target = std::move(reduced);
    return 1;
}

Bitmap imgResize(const Bitmap& source, int width, int height)
{
    Bitmap out;
    imgResizeRows(width, height, source, 0, height, out);
    return out;
}

int imgResizeRows(int width, int height, const Bitmap& source, int rowBegin, int rowEnd, Bitmap& target)
{
    if (!targetSizeOk(source, width, height) || rowBegin < 0 || rowEnd > height || rowBegin >= rowEnd)
        return 0;
    const QImage& src = source.image();
    // Colour stays colour: the operator colours over it.
    const bool grey = isGreyStorage(src);
    const bool wide = src.format() == QImage::Format_RGB32;
    QImage out(width, rowEnd - rowBegin,
               grey ? QImage::Format_Grayscale8 : wide ? QImage::Format_RGB32 : QImage::Format_RGB888);
    if (out.isNull())
        return 0;
    areaResample(src, out, grey ? 1 : wide ? 4 : 3, height, rowBegin);
    target = Bitmap(std::move(out), reducedFormat(source));
    return 1;
}

int imgResizeBitmap(int width, int height, const Bitmap& source, Bitmap& target)
{
    Bitmap reduced = imgResize(source, width, height);
    if (reduced.isEmpty())
        return 0;
    target = std::move(reduced);
    return 1;
}

int imgResizeForView(int width, int height, const Bitmap& source, Bitmap& target)
{
    return source.isOneBit() ? imgResizeRefine1Bit(width, height, source, target)
                             : imgResizeBitmap(width, height, source, target);
}

int imgResizeForViewReported(const char* step, int width, int height, const Bitmap& source, Bitmap& target)
{
    try {
        if (imgResizeForView(width, height, source, target) != 0)
            return 1;
        showMessage(std::string(step) + ": 縮小できませんでした");
    } catch (const std::bad_alloc&) {
        showMessage(std::string(step) + ": メモリが不足しています");
    } catch (const std::exception& e) {
        showMessage(std::string(step) + ": " + e.what());
    }
    return 0;
}

int imgResizeForViewDeferred(const char* step, int width, int height, const Bitmap& source, Bitmap& target)
{
    if (!targetSizeOk(source, width, height))
        return 0;
    // Made inside a paint, where nothing may be thrown on.
    target = Bitmap::deferred(width, height, reducedFormat(source), [step, width, height, source] {
        Bitmap out;
        imgResizeForViewReported(step, width, height, source, out);
        return out;
    });
    return 1;
}
