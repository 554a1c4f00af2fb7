// Loads one raster, makes the half and quarter reductions the workbench makes, writes the
// work image, and prints the time of each step and the peak resident memory.
// Usage: bench_imaging RASTER WORK_IMAGE_OUT
#include "render/imaging.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

double secondsSince(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

int reduce(int w, int h, const Bitmap& src, Bitmap& dst)
{
    return src.isOneBit() ? imgResizeRefine1Bit(w, h, src, dst) : imgResizeBitmap(w, h, src, dst);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s RASTER WORK_IMAGE_OUT\n", argv[0]);
        return 2;
    }
    auto t0 = std::chrono::steady_clock::now();
    Bitmap raster;
    if (!imgLoadToBitmap(argv[1], raster)) {
        std::fprintf(stderr, "cannot load %s\n", argv[1]);
        return 1;
    }
    const double load = secondsSince(t0);
    const int w = raster.width(), h = raster.height();

    Bitmap quarter, half;
    t0 = std::chrono::steady_clock::now();
    const int okQuarter = reduce(w / 4, h / 4, raster, quarter);
    const double tQuarter = secondsSince(t0);
    t0 = std::chrono::steady_clock::now();
    const int okHalf = reduce(w / 2, h / 2, raster, half);
    const double tHalf = secondsSince(t0);
    if (!okQuarter || !okHalf) {
        std::fprintf(stderr, "reduction failed\n");
        return 1;
    }
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const double peakViewing = double(ru.ru_maxrss) / 1024.0;
    const int bits = int(raster.pixelFormat());
    raster = Bitmap();
    half = Bitmap();
    quarter = Bitmap();

    // The work image is written from the file, before any bitmap of the sheet exists, as the
    // trace pre-processing does.
    t0 = std::chrono::steady_clock::now();
    if (!imgConvertTo1BitBmp(argv[1], argv[2], 128)) {
        std::fprintf(stderr, "work image failed\n");
        return 1;
    }
    const double tWork = secondsSince(t0);

    getrusage(RUSAGE_SELF, &ru);
    std::printf("size %dx%d bits %d\n", w, h, bits);
    std::printf("load %.3f s\nquarter %.3f s\nhalf %.3f s\nload+reductions %.3f s\nwork-image %.3f s\n", load,
                tQuarter, tHalf, load + tQuarter + tHalf, tWork);
    std::printf("peak-rss %.1f MB\npeak-rss-all %.1f MB\n", peakViewing, double(ru.ru_maxrss) / 1024.0);
    return 0;
}
