// The two exports: callback registration and one conversion of a work image into an RVL file.
#include "quillan.h"

#include "chain.h"
#include "messages.h"
#include "node.h"
#include "polyline.h"
#include "thin.h"
#include "workers.h"
#include "workimage.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillan {

namespace {

RV_CallBack progressSlot = nullptr;
RV_CallBack errorSlot = nullptr;
RV_CallBack thinningSlot = nullptr;

int relay(RV_CallBack slot, const char* format, va_list args)
{
    return slot ? slot(format, args) : 0;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The mapping, closed on every path out of a conversion.
struct MappingGuard {
    MappedFile file;
    ~MappingGuard() { fileMapClose(file); }
};

// The output may not be the very file being converted: truncating it would pull the
// mapped pages away under the tracer.
bool isMappedFile(const char* output, const MappedFile& file)
{
    struct stat st {};
    return ::stat(output, &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == file.device &&
           static_cast<std::uint64_t>(st.st_ino) == file.inode;
}

// Creates or empties the output like fopen "wb", but never waits on a FIFO with no reader.
std::FILE* openOutput(const char* output)
{
    const int fd = ::open(output, O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    const int flags = ::fcntl(fd, F_GETFL);
    std::FILE* f = nullptr;
    if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISCHR(st.st_mode)) && flags >= 0 &&
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0)
        f = ::fdopen(fd, "wb");
    if (!f)
        ::close(fd);
    return f;
}

bool sameFile(const char* a, const char* b)
{
    struct stat sa {}, sb {};
    return ::stat(a, &sa) == 0 && ::stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

int convert(const char* source, int copyFirst, const char* output, double tolerance, double lengthDivisor)
{
    if (!source || !output)
        return 0;
    double minimumLength = 1.0;

    TempCopy copy;
    std::string path = source;
    // The copy mode promises the source stays: an output that is the source itself (by name,
    // link or hard link) would replace the work image with line work.
    if (copyFirst && sameFile(source, output))
        return 0;
    if (copyFirst) {
        if (!copy.create(source))
            return 0;
        path = copy.path();
    }

    MappingGuard mapping;
    unsigned char* view = fileMapOpen(path, mapping.file);
    if (!view)
        return 0;
    if (mapping.file.length < kHeaderSize)
        return 0;
    const BmpHeader header = bmpReadHeader(view);
    msgProgress("1 - 変換開始 %s ( %lu bytes )", path.c_str(), static_cast<unsigned long>(bmpPixelBytes(header)));

    // The threads of this conversion; they end before it returns.
    Workers workers;
    int polarity = 0;
    if (thinImage(view, mapping.file.length, polarity, workers) < 0)
        return 0;
    WorkImage img = workImageFromHeader(view, header);
    img.polarity = polarity;

    if (lengthDivisor > 0)
        minimumLength = static_cast<double>(std::max(header.width, header.height)) / lengthDivisor;
    else
        minimumLength = 1.0;
    msgProgress("3 -  細線化終了処理");

    PointList nodes;
    if (!nodeFindPoints(img, nodes, workers))
        return 0;
    msgProgress("4 -  線分化前処理(%d node points)", static_cast<int>(std::min<std::size_t>(nodes.size(), INT32_MAX)));
    std::unique_ptr<NodeIndex> index;
    try {
        index = std::make_unique<NodeIndex>(nodes, header.height);
    } catch (const std::bad_alloc&) {
        return 0;
    }

    if (isMappedFile(output, mapping.file))
        return 0;
    // Binary mode: the writer ends every line with CR LF itself, as the file's readers expect.
    std::unique_ptr<std::FILE, FileCloser> out(openOutput(output));
    if (!out)
        return 0;
    // Only a file of our own is removed after a failed write, never a device named as output.
    struct stat outStat {};
    const bool regular = ::fstat(::fileno(out.get()), &outStat) == 0 && S_ISREG(outStat.st_mode);
    // A file cut in the middle of a line would pass for the line work of the sheet for ever
    // (it is made only when missing): any write that failed takes the file away.
    auto dropOutput = [&] {
        out.reset();
        if (regular)
            std::remove(output);
        return 0;
    };
    msgProgress("5 -  線分化開始. ");

    TraceSettings settings;
    // A corridor of no width would keep every vertex twice; the narrowest one keeps each once.
    settings.tolerance = tolerance > 0 ? tolerance : std::numeric_limits<double>::denorm_min();
    settings.minimumLength = minimumLength;
    RvlWriter writer(out.get());
    const long polylines = chainTraceAll(img, writer, settings, *index, nodes, workers);
    if (!writer.flush())
        return dropOutput();
    if (polylines >= 0)
        msgProgress("6 -  終了処理 (%d polylines)", static_cast<int>(std::min<long>(polylines, INT32_MAX)));
    // Bytes still buffered must reach the file before it counts as written, on a tracing
    // failure too: a tracing failure with every write done keeps the complete polylines
    // written so far; a full disk must not pass for a complete file.
    bool written = std::fflush(out.get()) == 0;
    written = std::fclose(out.release()) == 0 && written;
    if (!written)
        return dropOutput();
    return polylines < 0 ? 0 : 1;
}

} // namespace

int msgProgress(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int r = relay(progressSlot, format, args);
    va_end(args);
    return r;
}

int msgThinning(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int r = relay(thinningSlot, format, args);
    va_end(args);
    return r;
}

} // namespace quillan

extern "C" {

QUILLAN_EXPORT int QUILLAN_CALL RV_SetCallBack(RV_CallBack progress, RV_CallBack error, RV_CallBack thinning)
{
    quillan::progressSlot = progress;
    quillan::errorSlot = error;
    quillan::thinningSlot = thinning;
    return 1;
}

QUILLAN_EXPORT int QUILLAN_CALL quillanourCnv(const char* source, int copyFirst, const char* output, double tolerance,
                                              double lengthDivisor)
{
    // Nothing may unwind into a C caller.
    try {
        return quillan::convert(source, copyFirst, output, tolerance, lengthDivisor);
    } catch (...) {
        return 0;
    }
}

}
