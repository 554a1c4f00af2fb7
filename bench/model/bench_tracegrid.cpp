// Times building the trace grid from an RVL file: polyInit, polyReadRvl, polyGridFromBitmap,
// polyMarkVertices and a burst of snaps, against a peer in the same process: a plain
// fgets + sscanf pass over the same file that only counts its segments (the least any reader
// of the format does).
//
// usage: bench_tracegrid [DATA_DIR [SHEET.RVL WIDTH HEIGHT]]
// Always measures a generated file on an A0 sheet at 400 dpi (13200 x 18700). With DATA_DIR
// holding paris-1926-sheet4-train-edges.png and the vectoriser built, also measures the RVL
// file of that sheet's real line work (thickened to 3 px, vectorised by quillan); with a sheet,
// also that one (bench/workbench leaves its A1 sheet's line work in its folder). Each grid built
// on fresh memory is compared cell for cell with a plain drawing; any difference exits with 1.
#include "model/tracegrid.h"

#include "../../tests/model/tracegrid_reference.h"

#ifdef BENCH_HAVE_QUILLAN
#include "quillan.h"
#include <QImage>
#include <QImageReader>
#endif

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

double bestMs(int runs, const std::function<void()>& f)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    return best;
}

// Polylines of 2 to 40 points wandering over the sheet, as a vectoriser writes them.
void writeSyntheticRvl(const std::string& path, int width, int height, int segments)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::exit(1);
    std::mt19937 rng(400);
    int written = 0;
    while (written < segments) {
        int points = 2 + static_cast<int>(rng() % 39);
        int x = static_cast<int>(rng() % width), y = static_cast<int>(rng() % height);
        std::fprintf(f, "PS\r\n%d %d\r\n", x, y);
        for (int p = 1; p < points && written < segments; ++p, ++written) {
            x = std::clamp(x + static_cast<int>(rng() % 61) - 30, 0, width - 1);
            y = std::clamp(y + static_cast<int>(rng() % 61) - 30, 0, height - 1);
            std::fprintf(f, "%d %d\r\n", x, y);
        }
        std::fprintf(f, "PE\r\n");
    }
    std::fclose(f);
}

int peerCount(const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f)
        return 0;
    char buf[256];
    int segs = 0;
    bool inBlock = false, first = false;
    while (std::fgets(buf, sizeof buf, f)) {
        if (buf[0] == 'P' && buf[1] == 'S') {
            inBlock = first = true;
        } else if (buf[0] == 'P' && buf[1] == 'E') {
            inBlock = false;
        } else if (inBlock) {
            int x = 0, y = 0;
            if (std::sscanf(buf, "%d %d", &x, &y) == 2) {
                segs += first ? 0 : 1;
                first = false;
            }
        }
    }
    std::fclose(f);
    return segs;
}

void measure(const char* what, const std::string& rvl, int width, int height)
{
    auto bytes = std::filesystem::file_size(rvl);
    int segs = 0;
    double init = bestMs(3, [&] { polyInit(width, height); });
    double read = bestMs(3, [&] {
        polyInit(width, height);
        segs = polyReadRvl(rvl, height);
    });
    // The drawing runs in the background: polyGetGrid waits for it.
    double fill = bestMs(3, [&] {
        polyGridFromBitmap(1, width, height);
        polyGetGrid();
    });
    double mark = bestMs(3, [&] {
        polyMarkVertices();
        polyGetGrid();
    });
    std::mt19937 rng(7);
    int hits = 0;
    double snap = bestMs(3, [&] {
        hits = 0;
        for (int i = 0; i < 10000; ++i) {
            int x = 0, y = 0;
            hits += polyFindVertexNear(5, static_cast<int>(rng() % width), static_cast<int>(rng() % height), x, y);
        }
    });
    int peerSegs = 0;
    double peer = bestMs(3, [&] { peerSegs = peerCount(rvl); });
    std::printf("%s: %d x %d, %.1f MB, %d segments (peer counts %d)\n", what, width, height,
                bytes / 1e6, segs, peerSegs);
    std::printf("  polyInit %.1f ms, polyReadRvl %.1f ms, "
                "polyGridFromBitmap %.1f ms, polyMarkVertices %.1f ms\n",
                init, read - init, fill, mark);
    std::printf("  whole build %.1f ms; reading vs peer fgets+sscanf %.1f ms: %.2fx\n",
                read + fill + mark, peer, (read - init) / peer);
    std::printf("  10000 snaps (radius 5): %.2f ms, %d hits\n", snap, hits);
    polyFree();
}

bool failed = false; // a grid differed from the plain drawing

// The build as an opening does it: a fresh grid each time, so the memory is new to the process
// (as it is once per opened drawing). Medians of 5.
void measureFresh(const char* what, const std::string& rvl, int width, int height)
{
    std::vector<double> init, read, fill, mark;
    auto ms = [](auto t0) {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    };
    for (int i = 0; i < 5; ++i) {
        polyFree();
        auto t = std::chrono::steady_clock::now();
        polyInit(width, height);
        init.push_back(ms(t));
        t = std::chrono::steady_clock::now();
        polyReadRvl(rvl, height);
        read.push_back(ms(t));
        t = std::chrono::steady_clock::now();
        polyGridFromBitmap(1, width, height);
        polyMarkVertices();
        mark.push_back(ms(t)); // what the caller waits for
        polyGetGrid();
        fill.push_back(ms(t)); // to the finished grid
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    // The last build, cell for cell against a plain drawing of the same segments.
    const std::vector<TraceSeg> segs = polyGetGrid().segs;
    tracegridref::Reference ref(width, height);
    ref.build(segs, width, height);
    ref.mark(segs);
    const int64_t differs = tracegridref::firstDifference(ref);
    std::printf("%s, fresh grid each time: %d segments\n", what, polyGetSegCount());
    std::printf("  polyInit %.1f ms, polyReadRvl %.1f ms, polyGridFromBitmap + polyMarkVertices %.1f ms to "
                "the finished grid (the caller waits %.1f ms of it)\n",
                median(init), median(read), median(fill), median(mark));
    std::printf("  grid against a plain drawing: %s\n", differs < 0 ? "identical" : "DIFFERS");
    polyFree();
    if (differs >= 0)
        failed = true;
}

#ifdef BENCH_HAVE_QUILLAN
// The real line work: the edge map thickened to 3 px as black ink on white, written as the
// one-bit work image the vectoriser reads, then vectorised in place.
bool vectoriseEdges(const std::string& png, const std::string& bmp, const std::string& rvl,
                    int& width, int& height)
{
    QImageReader::setAllocationLimit(1024); // the sheet's 8-bit picture is above Qt's default
    QImage img(QString::fromStdString(png));
    if (img.isNull())
        return false;
    img = img.convertToFormat(QImage::Format_Grayscale8);
    width = img.width();
    height = img.height();
    std::vector<uint8_t> line(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            line[static_cast<size_t>(y) * width + x] = img.constScanLine(y)[x] > 127;
    QImage mono(width, height, QImage::Format_Mono);
    mono.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    mono.fill(1);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            bool ink = false;
            for (int dy = -1; dy <= 1 && !ink; ++dy)
                for (int dx = -1; dx <= 1 && !ink; ++dx) {
                    int sx = x + dx, sy = y + dy;
                    ink = sx >= 0 && sy >= 0 && sx < width && sy < height &&
                          line[static_cast<size_t>(sy) * width + sx];
                }
            if (ink)
                mono.setPixel(x, y, 0);
        }
    if (!mono.save(QString::fromStdString(bmp), "BMP"))
        return false;
    return quillanourCnv(bmp.c_str(), 0, rvl.c_str(), 1.4143, -1.0) == 1;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    std::string work = (std::filesystem::temp_directory_path() / "nurivo-bench-tracegrid").string();
    std::filesystem::create_directories(work);

    std::string synthetic = work + "/a0.RVL";
    writeSyntheticRvl(synthetic, 13200, 18700, 400000);
    measure("generated, A0 at 400 dpi", synthetic, 13200, 18700);
    measureFresh("generated, A0 at 400 dpi", synthetic, 13200, 18700);
    // The workbench benchmark's sheet: bench_tracegrid DATA_DIR SHEET.RVL WIDTH HEIGHT
    if (argc > 4)
        measureFresh("given sheet", argv[2], std::atoi(argv[3]), std::atoi(argv[4]));

#ifdef BENCH_HAVE_QUILLAN
    if (argc > 1) {
        std::string png = std::string(argv[1]) + "/paris-1926-sheet4-train-edges.png";
        int w = 0, h = 0;
        if (std::filesystem::exists(png)) {
            if (vectoriseEdges(png, work + "/edges.bmp", work + "/edges.RVL", w, h)) {
                measure("paris-1926 line work", work + "/edges.RVL", w, h);
                measureFresh("paris-1926 line work", work + "/edges.RVL", w, h);
            } else {
                std::printf("paris-1926 line work: could not be vectorised\n");
            }
        }
    }
#endif
    std::filesystem::remove_all(work);
    return failed ? 1 : 0;
}
