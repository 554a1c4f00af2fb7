// Header record, polarity and the file handling of the work image (POSIX mapping and
// temporary copies).
#include "workimage.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillan {

namespace {

std::int32_t readI32(const unsigned char* p)
{
    const std::uint32_t v = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                            static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return static_cast<std::int32_t>(v);
}

std::uint16_t readU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

// Opens a path without blocking on special files and keeps it only when it is a regular file.
int openRegular(const std::string& path, int flags, struct stat& st)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool copyContents(int from, int to)
{
    static constexpr std::size_t kChunk = 1 << 20;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kChunk]);
    if (!buffer)
        return false;
    for (;;) {
        const ssize_t n = ::read(from, buffer.get(), kChunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        if (!writeAll(to, buffer.get(), static_cast<std::size_t>(n)))
            return false;
    }
}

} // namespace

BmpHeader bmpReadHeader(const unsigned char* view)
{
    BmpHeader h;
    h.fileType[0] = view[0];
    h.fileType[1] = view[1];
    h.infoSize = readI32(view + 14);
    h.width = readI32(view + 18);
    h.height = readI32(view + 22);
    h.planes = readU16(view + 26);
    h.bitCount = readU16(view + 28);
    h.compression = static_cast<std::uint32_t>(readI32(view + 30));
    return h;
}

std::int64_t bmpStride(std::int32_t width)
{
    if (width < 0)
        return 0;
    return (static_cast<std::int64_t>(width) + 31) / 32 * 4;
}

std::uint64_t bmpPixelBytes(const BmpHeader& header)
{
    if (header.width < 0 || header.height < 0)
        return 0;
    return static_cast<std::uint64_t>(header.height) * static_cast<std::uint64_t>(bmpStride(header.width));
}

bool bmpHeaderUsable(const BmpHeader& header, std::uint64_t fileLength)
{
    if (header.fileType[0] != 'B' || header.fileType[1] != 'M' || header.infoSize != 40 ||
        header.compression != 0 || header.bitCount != 1 || header.planes != 1)
        return false;
    if (header.width < 0 || header.height < 0 || fileLength < kPixelOffset)
        return false;
    return bmpPixelBytes(header) <= fileLength - kPixelOffset;
}

WorkImage workImageFromHeader(unsigned char* view, const BmpHeader& header)
{
    WorkImage img;
    img.pixels = view + kPixelOffset;
    img.width = header.width;
    img.height = header.height;
    img.stride = static_cast<std::size_t>(bmpStride(header.width));
    return img;
}

int bmpDetectPolarity(const BmpHeader& header, const unsigned char* pixels)
{
    const std::int64_t width = header.width;
    const std::int64_t height = header.height;
    const std::int64_t stride = bmpStride(header.width);
    std::int64_t sx = width / 100;
    std::int64_t sy = height / 100;
    if (sx <= 0)
        sx = 1;
    if (sy <= 0)
        sy = 1;
    std::uint64_t set = 0;
    std::uint64_t clear = 0;
    for (std::int64_t y = 0; y < height; y += sy) {
        const unsigned char* row = pixels + y * stride;
        for (std::int64_t x = 0; x < width; x += sx) {
            if ((row[x >> 3] >> (7 - (x & 7))) & 1)
                ++set;
            else
                ++clear;
        }
    }
    return set > clear ? 255 : 0;
}

unsigned char* fileMapOpen(const std::string& path, MappedFile& file)
{
    file = MappedFile{};
    struct stat st {};
    const int fd = openRegular(path, O_RDWR, st);
    if (fd < 0)
        return nullptr;
    // Clear the non-blocking flag taken for opening; it means nothing for a regular file.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    // The file is opened for this conversion alone: a second conversion of it meanwhile fails.
    // A file system without such locks does not stop the conversion.
    const bool inUse = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (st.st_size <= 0 || inUse) {
        ::close(fd);
        return nullptr;
    }
    void* view = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        ::close(fd);
        return nullptr;
    }
    file.fd = fd;
    file.view = static_cast<unsigned char*>(view);
    file.length = static_cast<std::uint64_t>(st.st_size);
    file.device = static_cast<std::uint64_t>(st.st_dev);
    file.inode = static_cast<std::uint64_t>(st.st_ino);
    return file.view;
}

void fileMapClose(MappedFile& file)
{
    if (file.fd >= 0) {
        // A mapping cannot grow the file here, but keep the length it had in any case.
        struct stat st {};
        if (::fstat(file.fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) != file.length) {
            [[maybe_unused]] const int rc = ::ftruncate(file.fd, static_cast<off_t>(file.length));
        }
    }
    if (file.view)
        ::munmap(file.view, static_cast<std::size_t>(file.length));
    if (file.fd >= 0)
        ::close(file.fd);
    file = MappedFile{};
}

TempCopy::~TempCopy()
{
    if (!path_.empty())
        ::unlink(path_.c_str());
}

bool TempCopy::create(const std::string& source)
{
    const char* dir = std::getenv("TMPDIR");
    std::string name = (dir && *dir) ? dir : "/tmp";
    if (name.back() != '/')
        name += '/';
    name += "imgXXXXXX";
    const int to = ::mkstemp(name.data());
    if (to < 0)
        return false;
    path_ = name;
    struct stat st {};
    const int from = openRegular(source, O_RDONLY, st);
    bool ok = from >= 0;
    if (ok) {
        const int flags = ::fcntl(from, F_GETFL);
        if (flags >= 0)
            ::fcntl(from, F_SETFL, flags & ~O_NONBLOCK);
        ok = copyContents(from, to);
        ::close(from);
    }
    if (::close(to) != 0)
        ok = false;
    if (!ok) {
        ::unlink(path_.c_str());
        path_.clear();
    }
    return ok;
}

} // namespace quillan
