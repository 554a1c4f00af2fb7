// Times loading a layer definition file (layerLoad) against the row-by-row placement it
// replaces: layerAdd for every row, the exchange sort walking each row down, which costs a
// pass over the list per row. Both run in this process on the same files, and every file's
// loaded order is checked to be the row-by-row order (equal codes included).
//
// usage: bench_layerload [MAX_ROWS_FOR_ROW_BY_ROW]   (default 20000: beyond that it takes minutes)
//
// Figures (Release, g++ 12, a shared 8-core machine with other builds running; seconds):
//   file               rows     layerLoad  row-by-row
//   descending codes    20000     0.020       2.3
//   descending codes   100000     0.106     176 (run with 100000; the machine was busier)
//   descending codes  1000000     1.13          -
//   random codes        20000     0.024       1.5
//   random codes       100000     0.164      70
//   random, 50 codes   100000     0.050       9.7
// Every file loaded in exactly the row-by-row order.
#include "model/layer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

double seconds(const std::function<void()>& f)
{
    auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct Kind {
    const char* name;
    std::function<int(int i, int rows, std::mt19937& random)> code;
};

} // namespace

int main(int argc, char** argv)
{
    const int rowByRowMax = argc > 1 ? std::atoi(argv[1]) : 20000;
    const std::string path = (std::filesystem::temp_directory_path() / "bench_layerload.lay").string();
    const Kind kinds[] = {
        {"descending codes", [](int i, int rows, std::mt19937&) { return rows - i; }},
        {"random codes", [](int, int, std::mt19937& r) { return static_cast<int>(r() % 1000000); }},
        {"random, 50 codes", [](int, int, std::mt19937& r) { return static_cast<int>(r() % 50); }},
    };
    std::printf("%-18s %8s %12s %12s %8s\n", "file", "rows", "layerLoad s", "row-by-row s", "same");
    bool allSame = true;
    for (const Kind& kind : kinds)
        for (int rows : {20000, 100000, 1000000}) {
            std::mt19937 random(7);
            std::vector<TLayerRec> recs(static_cast<size_t>(rows));
            std::ofstream out(path, std::ios::binary);
            out << rows << " 1\r\n";
            for (int i = 0; i < rows; ++i) {
                TLayerRec& r = recs[static_cast<size_t>(i)];
                r.code = kind.code(i, rows, random);
                // Formatted, not "L" + std::to_string(i): GCC 12 at -O3 warns falsely (-Wrestrict) on that.
                char name[16];
                std::snprintf(name, sizeof name, "L%d", i);
                r.name = name;
                r.color = i;
                out << r.code << '\t' << r.name << '\t' << r.color << "\t1\t1\t1\r\n";
            }
            out.close();

            TLayer loaded;
            const double load = seconds([&] { loaded.layerLoad(path); });
            if (rows > rowByRowMax) {
                std::printf("%-18s %8d %12.3f %12s %8s\n", kind.name, rows, load, "-", "-");
                continue;
            }
            TLayer added;
            const double byRow = seconds([&] {
                for (const TLayerRec& r : recs)
                    added.layerAdd(r);
            });
            bool same = loaded.count == added.count && loaded.capacity == added.capacity;
            for (int i = 0; same && i < loaded.count; ++i)
                same = loaded.rows[static_cast<size_t>(i)].name == added.rows[static_cast<size_t>(i)].name;
            allSame = allSame && same;
            std::printf("%-18s %8d %12.3f %12.3f %8s\n", kind.name, rows, load, byRow, same ? "yes" : "NO");
        }
    std::filesystem::remove(path);
    return allSame ? 0 : 1;
}
