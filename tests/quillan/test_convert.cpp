// Whole conversions through the exported entry point: RVL output, messages, file handling.
#include "childproc.h"
#include "fixture.h"
#include "quillan.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// Memory running out during the tracing, on demand: once armed, the allocation after the
// given number of further ones fails.
namespace {
std::atomic<long> allocationsLeft{-1};
} // namespace

[[gnu::noinline]] void* operator new(std::size_t size)
{
    if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0)
        throw std::bad_alloc();
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using qtest::Polyline;
using qtest::WorkBitmap;

// One horizontal line from (10, 20) to (30, 20), and the RVL file it gives.
WorkBitmap straightLine()
{
    WorkBitmap b(40, 30);
    for (int x = 10; x <= 30; ++x)
        b.set(x, 20);
    return b;
}
const std::string kLineRvl = "PS\r\n10 20\r\n30 20\r\nPE\r\n";

struct Result {
    int rc = 0;
    std::string rvl;
    std::vector<std::string> messages;
};

class ConvertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        qtest::recordedMessages().clear();
        RV_SetCallBack(qtest::recordMessage, qtest::recordMessage, qtest::recordMessage);
        const char* old = std::getenv("TMPDIR");
        savedTmp_ = old ? old : "";
        hadTmp_ = old != nullptr;
        std::filesystem::create_directory(tmpDir());
        ::setenv("TMPDIR", tmpDir().c_str(), 1);
    }
    void TearDown() override
    {
        if (hadTmp_)
            ::setenv("TMPDIR", savedTmp_.c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }

    std::string tmpDir() const { return dir_.file("tmp"); }
    bool tmpDirEmpty() const { return std::filesystem::is_empty(tmpDir()); }

    Result run(const std::string& imageBytes, int copyFirst = 0, double tolerance = 1.4143, double divisor = -1.0)
    {
        qtest::recordedMessages().clear();
        const std::string src = dir_.file("work.TMP");
        const std::string out = dir_.file("work.RVL");
        std::filesystem::remove(out);
        testutil::writeBytes(src, imageBytes);
        Result r;
        r.rc = quillanourCnv(src.c_str(), copyFirst, out.c_str(), tolerance, divisor);
        r.rvl = testutil::readBytes(out);
        r.messages = qtest::recordedMessages();
        return r;
    }
    std::string source() const { return dir_.file("work.TMP"); }
    std::string output() const { return dir_.file("work.RVL"); }

    testutil::TempDir dir_;
    std::string savedTmp_;
    bool hadTmp_ = false;
};

TEST_F(ConvertTest, OneStraightLineIsOneBlockOfTwentyTwoBytes)
{
    const WorkBitmap b = straightLine();
    const Result r = run(b.bytes());
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(r.rvl, kLineRvl);
    EXPECT_EQ(r.rvl.size(), 22u);
    // A line one pixel wide loses nothing: one thinning message, pass 1, count 0.
    ASSERT_EQ(r.messages.size(), 6u);
    EXPECT_EQ(r.messages[1], "2   1  細線化処理 (0 - 0秒)");
    EXPECT_EQ(r.messages[5], "6 -  終了処理 (1 polylines)");
}

TEST_F(ConvertTest, ShapesGiveTheirPolylines)
{
    struct Case {
        const char* name;
        std::vector<std::string> rows;
        std::vector<Polyline> expected;
    };
    const std::vector<Case> cases = {
        {"vertical line", {"....", ".#..", ".#..", ".#..", ".#..", "...."}, {{{1, 1}, {1, 4}}}},
        {"diagonal of ten pixels",
         {"#.........", ".#........", "..#.......", "...#......", "....#.....", ".....#....", "......#...",
          ".......#..", "........#.", ".........#"},
         {{{0, 0}, {9, 9}}}},
        // The junction pixel is a node point: one polyline per branch, each starting there.
        {"T junction",
         {"...........", "#########..", "....#......", "....#......", "....#......", "..........."},
         {{{4, 1}, {4, 4}}, {{4, 1}, {8, 1}}, {{4, 1}, {0, 1}}}},
        // The walk right from the first node point enters the second one, still ink, and
        // goes on beyond it; the second node point's own branch then starts at it.
        {"walk through a node point",
         {"...........", "...........", "###########", "...#...#...", "...#...#...", "...#...#...", "..........."},
         {{{3, 2}, {3, 5}}, {{3, 2}, {10, 2}}, {{3, 2}, {0, 2}}, {{7, 2}, {7, 5}}}},
        // The loop out of the first node point comes back up beside the second one, which the
        // walk to the right has cleared: the walk ends there and its end join adds that node
        // point as the last vertex.
        {"walk ends beside a cleared node point",
         {"............", "............", ".##########.", ".#.#...#....", ".#.#...#....", ".#.....#....", ".#######....",
          "............"},
         {{{3, 2}, {3, 4}}, {{3, 2}, {10, 2}}, {{3, 2}, {1, 2}, {1, 6}, {7, 6}, {7, 2}}}},
        // Two neighbouring node points: the first one's walk enters the second and clears it;
        // the first one's pixel stays ink, so the second one's walk enters it in turn and the
        // link between them is written once more, the other way round.
        {"neighbouring node points", {"#....#", ".#..#.", "..##..", ".#..#.", "#....#"},
         {{{2, 2}, {3, 2}, {4, 1}, {5, 0}}, {{2, 2}, {1, 1}, {0, 0}}, {{2, 2}, {1, 3}, {0, 4}}, {{3, 2}, {2, 2}},
          {{3, 2}, {4, 3}, {5, 4}}}},
        // Without node points the ring is walked all the way round back into its start pixel.
        {"closed ring",
         {"..........", "...####...", "..#....#..", ".#......#.", ".#......#.", "..#....#..", "...####...", ".........."},
         {{{3, 1}, {8, 3}, {6, 6}, {1, 4}, {3, 1}}}},
        {"isolated pixel", {".....", "..#..", "....."}, {}},
        {"no ink", {".....", ".....", "....."}, {}},
    };
    for (const Case& c : cases) {
        const Result r = run(WorkBitmap::fromText(c.rows).bytes());
        EXPECT_EQ(r.rc, 1) << c.name;
        EXPECT_EQ(r.rvl, qtest::rvlText(c.expected)) << c.name;
    }
}

TEST_F(ConvertTest, InvertedBitsGiveTheSamePolylines)
{
    // Thick strokes so that thinning, node points and tracing all take part.
    WorkBitmap b(60, 40);
    for (int y = 5; y < 35; ++y)
        for (int x = 28; x < 32; ++x)
            b.set(x, y);
    for (int y = 18; y < 22; ++y)
        for (int x = 4; x < 56; ++x)
            b.set(x, y);
    for (int i = 0; i < 20; ++i)
        b.set(5 + i, 30 + i / 3);
    const Result setInk = run(b.bytes());
    b.inkIsClear = true;
    const Result clearInk = run(b.bytes());
    ASSERT_EQ(setInk.rc, 1);
    ASSERT_EQ(clearInk.rc, 1);
    EXPECT_GE(qtest::rvlBlocks(setInk.rvl).size(), 4u);
    EXPECT_EQ(setInk.rvl, clearInk.rvl);
}

TEST_F(ConvertTest, RowPaddingIsNoPixel)
{
    // Strokes up to the last column of a row with 19 bits of padding; padding holding the
    // ink value must not count as ink anywhere, and stays as it was.
    const WorkBitmap base = WorkBitmap::fromText({".............", "....#########", "....#........", "....#........",
                                                  "............#", "............#", "............."});
    const std::string expected = qtest::rvlText({{{4, 1}, {4, 3}}, {{4, 1}, {12, 1}}, {{12, 4}, {12, 5}}});
    for (const bool clearInk : {false, true}) {
        for (const bool inkPadding : {false, true}) {
            WorkBitmap b = base;
            b.inkIsClear = clearInk;
            b.inkPadding = inkPadding;
            const Result r = run(b.bytes());
            ASSERT_EQ(r.rc, 1);
            EXPECT_EQ(r.rvl, expected) << clearInk << inkPadding;
            WorkBitmap blank(b.width, b.height, clearInk);
            blank.inkPadding = inkPadding;
            EXPECT_EQ(testutil::readBytes(source()), blank.bytes()) << clearInk << inkPadding;
        }
    }
}

TEST_F(ConvertTest, MessagesReportEachStep)
{
    WorkBitmap b(20, 10);
    for (int y = 3; y < 7; ++y)
        for (int x = 2; x < 18; ++x)
            b.set(x, y);
    const Result r = run(b.bytes());
    ASSERT_EQ(r.rc, 1);
    ASSERT_GE(r.messages.size(), 6u);
    EXPECT_EQ(r.messages[0], "1 - 変換開始 " + source() + " ( 40 bytes )");
    // Thinning: one message per removing pass, then one with count 0.
    std::size_t i = 1;
    int pass = 1;
    for (; i < r.messages.size() && r.messages[i].rfind("2 ", 0) == 0; ++i, ++pass) {
        char expected[16];
        std::snprintf(expected, sizeof expected, "2 %3d  ", pass);
        EXPECT_EQ(r.messages[i].rfind(expected, 0), 0u) << r.messages[i];
    }
    ASSERT_GE(pass, 3);
    EXPECT_NE(r.messages[i - 1].find("細線化処理 (0 - 0秒)"), std::string::npos) << r.messages[i - 1];
    ASSERT_EQ(r.messages.size(), i + 4);
    EXPECT_EQ(r.messages[i], "3 -  細線化終了処理");
    EXPECT_EQ(r.messages[i + 1], "4 -  線分化前処理(0 node points)");
    EXPECT_EQ(r.messages[i + 2], "5 -  線分化開始. ");
    EXPECT_EQ(r.messages[i + 3], "6 -  終了処理 (" + std::to_string(qtest::rvlBlocks(r.rvl).size()) + " polylines)");
}

TEST_F(ConvertTest, EmptyImageWritesAnEmptyFile)
{
    const Result r = run(WorkBitmap(50, 50).bytes());
    ASSERT_EQ(r.rc, 1);
    EXPECT_TRUE(std::filesystem::exists(output()));
    EXPECT_EQ(r.rvl, "");
    ASSERT_EQ(r.messages.size(), 6u);
    EXPECT_EQ(r.messages[1], "2   1  細線化処理 (0 - 0秒)");
    EXPECT_EQ(r.messages[3], "4 -  線分化前処理(0 node points)");
    EXPECT_EQ(r.messages[5], "6 -  終了処理 (0 polylines)");
}

TEST_F(ConvertTest, InPlaceLeavesEveryPixelBackgroundAndTheLength)
{
    WorkBitmap b(37, 23);
    for (int y = 0; y < 23; ++y)
        for (int x = 0; x < 37; ++x)
            b.set(x, y, (x * 7 + y * 3) % 5 == 0 || (x > 10 && x < 20 && y > 5));
    for (const bool clearInk : {false, true}) {
        b.inkIsClear = clearInk;
        const std::string before = b.bytes();
        ASSERT_EQ(run(before).rc, 1);
        const std::string after = testutil::readBytes(source());
        ASSERT_EQ(after.size(), before.size());
        WorkBitmap blank(37, 23, clearInk);
        // Ink is the minority here, so the background is the value the blank image holds;
        // padding bits are left as they were.
        EXPECT_EQ(after, blank.bytes()) << clearInk;
    }
}

TEST_F(ConvertTest, CopyModeLeavesTheSourceAndRemovesItsCopy)
{
    const WorkBitmap b = straightLine();
    const std::string before = b.bytes();
    const Result r = run(before, 1);
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(r.rvl, kLineRvl);
    EXPECT_EQ(testutil::readBytes(source()), before);
    EXPECT_TRUE(tmpDirEmpty());
    // The converted file is the copy, named with its prefix in the temporary folder.
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages[0].rfind("1 - 変換開始 " + tmpDir() + "/img", 0), 0u) << r.messages[0];
}

TEST_F(ConvertTest, UnusableImagesFailWithoutOutput)
{
    WorkBitmap b(16, 4);
    b.set(3, 1);
    const std::string good = b.bytes();
    auto spoiled = [&](std::size_t at, std::uint64_t v, int bytes) {
        std::string s = good;
        qtest::putLE(s, at, v, bytes);
        return s;
    };
    qtest::BmpFields fourBit;
    fourBit.bitCount = 4;
    qtest::BmpFields compressed;
    compressed.compression = 1;
    struct Case {
        const char* name;
        std::string bytes;
        bool sendsFirstMessage;
    };
    const std::vector<Case> cases = {
        {"4-bit", b.bytes(fourBit), true},
        {"compressed", b.bytes(compressed), true},
        {"not BM", "XY" + good.substr(2), true},
        {"header size 12", spoiled(14, 12, 4), true},
        {"two planes", spoiled(26, 2, 2), true},
        {"shorter than its rows", good.substr(0, good.size() - 1), true},
        {"negative width", spoiled(18, 0xFFFFFFF0u, 4), true},
        {"negative height", spoiled(22, 0xFFFFFFFFu, 4), true},
        {"absurd size", spoiled(18, 0x7FFFFFFF, 4), true},
        {"absurd height", spoiled(22, 0x7FFFFFFF, 4), true},
        {"shorter than a header", good.substr(0, 61), false},
        {"zero length", "", false},
    };
    for (const int copy : {0, 1}) {
        for (const Case& c : cases) {
            const Result r = run(c.bytes, copy);
            EXPECT_EQ(r.rc, 0) << c.name;
            EXPECT_FALSE(std::filesystem::exists(output())) << c.name;
            EXPECT_EQ(testutil::readBytes(source()), c.bytes) << c.name;
            EXPECT_EQ(!r.messages.empty() && r.messages[0].rfind("1 - ", 0) == 0, c.sendsFirstMessage) << c.name;
            EXPECT_EQ(r.messages.size(), c.sendsFirstMessage ? 1u : 0u) << c.name;
            EXPECT_TRUE(tmpDirEmpty()) << c.name;
        }
    }
}

TEST_F(ConvertTest, UnusableFilesFail)
{
    WorkBitmap b(16, 4);
    b.set(3, 1);
    testutil::writeBytes(source(), b.bytes());
    const std::string folder = dir_.file("folder");
    std::filesystem::create_directory(folder);
    const std::string missing = dir_.file("missing.TMP");
    // Special files are refused before anything is read from them: no endless copy of a
    // device, no wait for a writer on a pipe.
    const std::string fifo = dir_.file("pipe.TMP");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const int copy : {0, 1}) {
        EXPECT_EQ(quillanourCnv(folder.c_str(), copy, output().c_str(), 1.4143, -1.0), 0);
        EXPECT_EQ(quillanourCnv(missing.c_str(), copy, output().c_str(), 1.4143, -1.0), 0);
        EXPECT_EQ(quillanourCnv(fifo.c_str(), copy, output().c_str(), 1.4143, -1.0), 0);
        EXPECT_EQ(quillanourCnv("/dev/zero", copy, output().c_str(), 1.4143, -1.0), 0);
        EXPECT_EQ(quillanourCnv(nullptr, copy, output().c_str(), 1.4143, -1.0), 0);
        EXPECT_EQ(quillanourCnv(source().c_str(), copy, nullptr, 1.4143, -1.0), 0);
        EXPECT_FALSE(std::filesystem::exists(output()));
        EXPECT_TRUE(tmpDirEmpty());
    }
    // Output into a folder that does not exist, or over the folder itself.
    EXPECT_EQ(quillanourCnv(source().c_str(), 1, dir_.file("none/x.RVL").c_str(), 1.4143, -1.0), 0);
    EXPECT_EQ(quillanourCnv(source().c_str(), 1, folder.c_str(), 1.4143, -1.0), 0);
    EXPECT_TRUE(tmpDirEmpty());
}

TEST_F(ConvertTest, ReadOnlySourceFailsInPlaceButConvertsAsCopy)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const WorkBitmap b = straightLine();
    testutil::writeBytes(source(), b.bytes());
    ::chmod(source().c_str(), 0444);
    EXPECT_EQ(quillanourCnv(source().c_str(), 0, output().c_str(), 1.4143, -1.0), 0);
    EXPECT_FALSE(std::filesystem::exists(output()));
    EXPECT_EQ(quillanourCnv(source().c_str(), 1, output().c_str(), 1.4143, -1.0), 1);
    EXPECT_EQ(testutil::readBytes(output()), kLineRvl);
    EXPECT_TRUE(tmpDirEmpty());
}

TEST_F(ConvertTest, OutputOverTheSourceInPlaceIsRefused)
{
    const WorkBitmap b = straightLine();
    testutil::writeBytes(source(), b.bytes());
    const std::string link = dir_.file("link.RVL");
    ASSERT_EQ(::link(source().c_str(), link.c_str()), 0);
    EXPECT_EQ(quillanourCnv(source().c_str(), 0, source().c_str(), 1.4143, -1.0), 0);
    EXPECT_EQ(quillanourCnv(source().c_str(), 0, link.c_str(), 1.4143, -1.0), 0);
    EXPECT_EQ(std::filesystem::file_size(source()), b.bytes().size());
}

TEST_F(ConvertTest, CopyModeWithTheSourceAsOutputIsRefused)
{
    const WorkBitmap b = straightLine();
    testutil::writeBytes(source(), b.bytes());
    std::filesystem::create_symlink("work.TMP", dir_.file("link.RVL"));
    ASSERT_EQ(::link(source().c_str(), dir_.file("hard.RVL").c_str()), 0);
    for (const std::string& out : {source(), dir_.file("link.RVL"), dir_.file("hard.RVL")}) {
        SCOPED_TRACE(out);
        EXPECT_EQ(quillanourCnv(source().c_str(), 1, out.c_str(), 1.4143, -1.0), 0);
        EXPECT_EQ(testutil::readBytes(source()), b.bytes());
    }
    EXPECT_TRUE(tmpDirEmpty());
}

TEST_F(ConvertTest, FailedWriteRemovesTheOutput)
{
    // Many short lines: far more output than the file-size limit lets through.
    WorkBitmap b(200, 200);
    for (int y = 2; y < 198; y += 4)
        for (int x = 2; x < 198; ++x)
            b.set(x, y);
    for (bool hadOne : {false, true}) {
        SCOPED_TRACE(hadOne ? "over an older RVL file" : "new RVL file");
        testutil::writeBytes(source(), b.bytes());
        if (hadOne)
            testutil::writeBytes(output(), kLineRvl);
        const int rc = testutil::runInChild(
            [&] { return quillanourCnv(source().c_str(), 0, output().c_str(), 1.4143, -1.0); },
            {.fileSizeLimit = 100});
        EXPECT_EQ(rc, 0);
        EXPECT_FALSE(std::filesystem::exists(output()));
    }
}

TEST_F(ConvertTest, FifoAsOutputIsRefusedWithoutWaiting)
{
    testutil::writeBytes(source(), straightLine().bytes());
    ASSERT_EQ(::mkfifo(output().c_str(), 0666), 0);
    EXPECT_EQ(testutil::runInChild(
                  [&] { return quillanourCnv(source().c_str(), 1, output().c_str(), 1.4143, -1.0); },
                  {.alarmSeconds = 10}),
              0);
    EXPECT_EQ(testutil::readBytes(source()), straightLine().bytes());
}

TEST_F(ConvertTest, TracingFailureKeepsItsPartialFileOnlyWhenEveryWriteWasDone)
{
    // Many short lines; memory runs out once the tracing has written some of them.
    WorkBitmap b(200, 200);
    for (int y = 2; y < 198; y += 4)
        for (int x = 2; x < 30; ++x)
            b.set(x, y);
    static const RV_CallBack failInTracing = [](const char* format, va_list) {
        if (std::strncmp(format, "5 -", 3) == 0)
            allocationsLeft = 60;
        return 0;
    };
    for (bool fullDisk : {false, true}) {
        SCOPED_TRACE(fullDisk ? "a write failed" : "every write done");
        testutil::writeBytes(source(), b.bytes());
        std::filesystem::remove(output());
        const int rc = testutil::runInChild(
            [&] {
                RV_SetCallBack(failInTracing, nullptr, nullptr);
                return quillanourCnv(source().c_str(), 0, output().c_str(), 1.4143, -1.0);
            },
            {.fileSizeLimit = fullDisk ? 30 : RLIM_INFINITY});
        EXPECT_EQ(rc, 0);
        if (fullDisk) {
            EXPECT_FALSE(std::filesystem::exists(output()));
        } else {
            const std::string rvl = testutil::readBytes(output());
            EXPECT_GT(rvl.size(), 30u);
            EXPECT_TRUE(rvl.starts_with("PS\r\n") && rvl.ends_with("PE\r\n")) << rvl;
        }
    }
}

TEST_F(ConvertTest, FileInUseByAnotherConversionFails)
{
    testutil::writeBytes(source(), straightLine().bytes());
    const int fd = ::open(source().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    EXPECT_EQ(quillanourCnv(source().c_str(), 0, output().c_str(), 1.4143, -1.0), 0);
    EXPECT_FALSE(std::filesystem::exists(output()));
    ::close(fd);
    EXPECT_EQ(quillanourCnv(source().c_str(), 0, output().c_str(), 1.4143, -1.0), 1);
}

TEST_F(ConvertTest, FailedWritesAreNotSuccess)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    const WorkBitmap b = straightLine();
    testutil::writeBytes(source(), b.bytes());
    EXPECT_EQ(quillanourCnv(source().c_str(), 1, "/dev/full", 1.4143, -1.0), 0);
    // Nothing to write is no failure.
    testutil::writeBytes(source(), WorkBitmap(8, 8).bytes());
    EXPECT_EQ(quillanourCnv(source().c_str(), 1, "/dev/full", 1.4143, -1.0), 1);
}

TEST_F(ConvertTest, LengthDivisorDropsShortPolylines)
{
    // 3000 × 2000 with divisor 10: polylines shorter than 300 pixels are dropped.
    WorkBitmap b(3000, 2000);
    for (int x = 100; x < 100 + 300; ++x)   // 299 long
        b.set(x, 500);
    for (int x = 100; x < 100 + 301; ++x)   // 300 long
        b.set(x, 900);
    const Result r = run(b.bytes(), 0, 1.4143, 10.0);
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(r.rvl, qtest::rvlText({{{100, 900}, {400, 900}}}));
    // Without a divisor the minimum is one pixel.
    b.set(2000, 1500);
    b.set(2001, 1500);
    const Result all = run(b.bytes(), 0, 1.4143, 0.0);
    EXPECT_EQ(all.rvl, qtest::rvlText({{{100, 500}, {399, 500}}, {{100, 900}, {400, 900}}, {{2000, 1500}, {2001, 1500}}}));
}

TEST_F(ConvertTest, ToleranceOfZeroActsAsTheNarrowestCorridor)
{
    WorkBitmap b(12, 12);
    for (int i = 0; i < 10; ++i)
        b.set(i, i);
    for (const double tolerance : {0.0, -3.0, 1e-300}) {
        const Result r = run(b.bytes(), 0, tolerance);
        EXPECT_EQ(r.rvl, qtest::rvlText({{{0, 0}, {9, 9}}})) << tolerance;
    }
}

TEST_F(ConvertTest, WideImagesKeepExactDistances)
{
    // Far beyond 32768 columns: squared distances no longer fit 32 bits.
    WorkBitmap b(50000, 10);
    for (int x = 0; x < 50000; ++x)
        b.set(x, x / 5000);
    const Result r = run(b.bytes());
    ASSERT_EQ(r.rc, 1);
    EXPECT_EQ(r.rvl, qtest::rvlText({{{0, 0}, {49999, 9}}}));
}

} // namespace
