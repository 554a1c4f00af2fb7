// The one-bit work image as the vectoriser reads it: header record, ink polarity, pixel
// access and the memory-mapped file it lives in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillan {

constexpr std::size_t kHeaderSize = 62;    // file header, information header, two palette entries
constexpr std::size_t kPixelOffset = 62;

// The first 62 bytes of the file, with the fields the conversion looks at.
struct BmpHeader {
    unsigned char fileType[2] = {0, 0};
    std::int32_t infoSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
};

BmpHeader bmpReadHeader(const unsigned char* view);

// Bytes per stored row: rows are padded to whole 32-bit words. 0 for a negative width.
std::int64_t bmpStride(std::int32_t width);

// Pixel data size as announced by the header (height × stride), 0 when a size is negative.
std::uint64_t bmpPixelBytes(const BmpHeader& header);

// True when the header describes a one-bit uncompressed bitmap whose pixel rows lie
// wholly inside a file of fileLength bytes.
bool bmpHeaderUsable(const BmpHeader& header, std::uint64_t fileLength);

// The pixel rows of a mapped work image. Rows are addressed in stored order.
struct WorkImage {
    unsigned char* pixels = nullptr;   // first byte of row 0, inside the mapping
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::size_t stride = 0;
    int polarity = 0;                  // 255: ink is bit 0; 0: ink is bit 1

    bool empty() const { return width <= 0 || height <= 0; }
    bool inside(std::int64_t x, std::int64_t y) const
    {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    unsigned char* row(std::int64_t y) const
    {
        return pixels + static_cast<std::size_t>(y) * stride;
    }
    // The byte of eight background pixels.
    unsigned char backgroundByte() const { return polarity == 255 ? 0xFF : 0x00; }
};

WorkImage workImageFromHeader(unsigned char* view, const BmpHeader& header);

// The foreground is the minority value of a sample grid of about 100 × 100 pixels.
int bmpDetectPolarity(const BmpHeader& header, const unsigned char* pixels);

inline int pixelIsForeground(const WorkImage& img, std::int64_t x, std::int64_t y)
{
    const unsigned bit = (img.row(y)[x >> 3] >> (7 - (x & 7))) & 1u;
    return img.polarity == 255 ? static_cast<int>(bit ^ 1u) : static_cast<int>(bit);
}

inline void pixelClear(const WorkImage& img, std::int64_t x, std::int64_t y)
{
    unsigned char& byte = img.row(y)[x >> 3];
    const unsigned char mask = static_cast<unsigned char>(0x80u >> (x & 7));
    if (img.polarity == 255)
        byte = static_cast<unsigned char>(byte | mask);
    else
        byte = static_cast<unsigned char>(byte & ~mask);
}

// A regular file mapped read-write; the length it had at opening is restored on close.
struct MappedFile {
    int fd = -1;
    unsigned char* view = nullptr;
    std::uint64_t length = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
};

// Maps the whole of an existing regular file; null (and nothing left open) on failure.
unsigned char* fileMapOpen(const std::string& path, MappedFile& file);
void fileMapClose(MappedFile& file);

// A temporary file named "img..." in $TMPDIR (else /tmp), removed when this goes away.
class TempCopy {
public:
    TempCopy() = default;
    ~TempCopy();
    TempCopy(const TempCopy&) = delete;
    TempCopy& operator=(const TempCopy&) = delete;

    // Creates the temporary file and copies source over it; false (and nothing left
    // behind) when either fails.
    bool create(const std::string& source);
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace quillan
