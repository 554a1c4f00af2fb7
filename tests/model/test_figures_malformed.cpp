// Garbage in every reader of figures and layer lists: no crash, no hang, and what was read
// stays consistent.
#include "model/layer.h"
#include "model/pdata.h"

#include "testutil.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

using testutil::MessageRecorder;
using testutil::TempDir;
using testutil::writeBytes;

namespace {

std::string randomBytes(unsigned seed, size_t n)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(gen() & 0xFF);
    return s;
}

// Random lines of small numbers, blanks and tabs: close enough to the formats to get past the
// header and into the records.
std::string randomNumberLines(unsigned seed, int lines)
{
    std::mt19937 gen(seed);
    std::string s;
    for (int i = 0; i < lines; ++i) {
        const int fields = static_cast<int>(gen() % 15);
        for (int f = 0; f < fields; ++f)
            s += std::to_string(static_cast<int>(gen() % 200) - 50) + (gen() % 2 ? " " : "\t");
        s += gen() % 3 ? "\r\n" : "\n";
    }
    return s;
}

struct Garbage {
    std::string what;
    std::string bytes;
};

std::vector<Garbage> garbageFiles()
{
    const std::string tenMb(10 * 1024 * 1024, '7');
    const std::string huge = std::to_string(INT_MAX);
    const std::string tiny = std::to_string(INT_MIN);
    return {
        {"random bytes", randomBytes(1, 64 * 1024)},
        {"random bytes after a header", "50 4\r\n" + randomBytes(2, 64 * 1024)},
        {"random number lines", "300 4\n" + randomNumberLines(3, 3000)},
        {"random number lines, version 1", "300 1\n" + randomNumberLines(4, 3000)},
        {"10 MB header line", tenMb},
        {"10 MB record line", "2 4\n0 3 0 0 0 0 0 0 0 0 0 0 " + tenMb + "\n0 0 0 0 0 0\n1 1\n"},
        {"10 MB point line", "1 1\n0 2 0 0 0 0 0 0 0 0 0 0 a\n" + tenMb + " " + tenMb + "\n"},
        {"negative counts", "-5 4\n0 -3 0 0 0 0 0 0 0 0 0 0 a\n0 0 0 0 0 0\n1 1\n"},
        {"negative points", "2 4\n0 -3 0 0 0 0 0 0 0 0 0 0 a\n0 0 0 0 0 0\n1 1\n"},
        {"huge counts", huge + " 4\n0 " + huge + " 0 0 0 0 0 0 0 0 0 0 a\n0 0 0 0 0 0\n1 1\n2 2\n"},
        {"numbers beyond 32 bits", "99999999999999999999 99999999999999999999\n"
                                   "0 99999999999999999999 0 0 0 0 0 0 0 0 0 0 a\n1 1\n"},
        {"extreme coordinates", "2 1\n0 4 0 0 0 0 0 0 0 0 0 0 a\n" + tiny + " " + tiny + "\n" +
                                    huge + " " + tiny + "\n" + huge + " " + huge + "\n" + tiny +
                                    " " + huge + "\n"
                                    "10 3 0 0 0 0 0 0 0 0 0 0 b\n" + tiny + " 0\n" + huge +
                                    " 0\n0 " + huge + "\n"},
        {"bytes that are no CP932", "1 4\n0 1 0 0 0 0 0 0 0 0 0 0 \x81\xff\x82\n0 0 0 0 0 0\n1 1\n"},
        {"layer rows with long names", "3 1\n1\t" + tenMb + "\t0\t1\t1\t1\n"},
        {"huge layer count", huge + " 1\n" + randomNumberLines(5, 2000)},
    };
}

void checkStore(const PData& pd)
{
    ASSERT_LE(pd.count, pd.capacity);
    ASSERT_EQ(static_cast<int>(pd.recs.size()), pd.capacity);
    for (int i = 0; i < pd.count; ++i)
        ASSERT_EQ(pd.recs[static_cast<size_t>(i)].nPts,
                  static_cast<int>(pd.recs[static_cast<size_t>(i)].pts.size()));
}

// Runs f with standard output captured: parallel edges of garbage polygons report there.
template <class F>
void quietly(F f)
{
    testing::internal::CaptureStdout();
    f();
    testing::internal::GetCapturedStdout();
}

} // namespace

TEST(MalformedFigures, EveryReaderSurvivesGarbage)
{
    TempDir dir;
    MessageRecorder msgs; // "複雑すぎる" may come
    for (const Garbage& g : garbageFiles()) {
        SCOPED_TRACE(g.what);
        const std::string path = dir.file("garbage");
        writeBytes(path, g.bytes);
        for (int layer : {0, 1}) {
            PData pd;
            pd.useNames = 1;
            int n = 0;
            quietly([&] { n = pd.PD_LoadFile(path, layer); });
            EXPECT_EQ(n, pd.PD_GetCount());
            checkStore(pd);
            int x = 0, y = 0;
            pd.PD_FindVertex(INT_MAX, INT_MIN, INT_MAX, x, y);
            pd.PD_FindLabel(INT_MAX, INT_MAX, INT_MIN, x, y);
            pd.PD_Pick(0, INT_MAX, 0, 0);
            PD_PickBoth(INT_MAX, INT_MIN, INT_MIN, &pd, &pd);
            EXPECT_EQ(pd.PD_SaveFile(dir.file("back.ZKI")), 1);
            PData back;
            back.useNames = 1;
            int again = 0;
            quietly([&] { again = back.PD_LoadFile(dir.file("back.ZKI"), layer); });
            EXPECT_EQ(again, n);
        }
        TLayer l;
        const int rows = l.layerLoad(path);
        EXPECT_EQ(rows, l.count);
        EXPECT_LT(l.count, l.capacity);
        EXPECT_EQ(l.layerSave(dir.file("back.Txt")), rows);
    }
}
