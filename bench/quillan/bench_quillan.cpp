// Times one whole conversion (thinning, node points, tracing, simplification, RVL output) of a
// work image, in place on a scratch copy made before the clock starts, and reports the peak
// resident memory of the process and the processor time the conversion took on all its
// threads (its ratio to the elapsed time shows how many cores the machine gave it).
#include "quillan.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IMAGE SCRATCH OUTPUT\n", argv[0]);
        return 2;
    }
    {
        std::ifstream in(argv[1], std::ios::binary);
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!in || !out) {
            std::fprintf(stderr, "cannot copy %s\n", argv[1]);
            return 1;
        }
    }
    auto cpuSeconds = [] {
        rusage u {};
        getrusage(RUSAGE_SELF, &u);
        return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int rc = quillanourCnv(argv[2], 0, argv[3], 1.4143, -1.0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuStart;
    std::remove(argv[2]);
    if (rc != 1) {
        std::fprintf(stderr, "conversion failed\n");
        return 1;
    }
    std::ifstream rvl(argv[3], std::ios::binary);
    long blocks = 0;
    std::string line;
    while (std::getline(rvl, line))
        blocks += line.rfind("PS", 0) == 0;
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.4f %ld %ld %.4f\n", seconds, static_cast<long>(usage.ru_maxrss), blocks, cpu);
    return 0;
}
