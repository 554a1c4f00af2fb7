// The conversion on several threads: the pool itself, and real scans converted on several
// threads against the same conversion on one.
#include "fixture.h"
#include "quillan.h"
#include "testutil.h"
#include "workers.h"

#include <gtest/gtest.h>

#include <QImage>

#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <new>
#include <set>
#include <thread>

namespace {

// Each task waits until `count` tasks are running at once, so all of them finish only when
// the pool really runs them side by side (a pool with fewer threads gives up after a while).
TEST(QuillanWorkers, RunsEveryTaskOnceWithAllThreadsAtOnce)
{
    for (unsigned threads : {1u, 2u, 5u}) {
        SCOPED_TRACE(threads);
        quillan::Workers workers(threads);
        ASSERT_EQ(workers.size(), threads);
        std::atomic<unsigned> arrived{0};
        std::atomic<bool> together{true};
        std::vector<int> runs(threads * 3, 0);
        std::mutex m;
        std::set<std::thread::id> ids;
        workers.forEach(runs.size(), [&](std::size_t i) {
            ++runs[i];
            {
                std::lock_guard lock(m);
                ids.insert(std::this_thread::get_id());
            }
            if (i < threads) {
                ++arrived;
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (arrived.load() < threads) {
                    if (std::chrono::steady_clock::now() > until) {
                        together = false;
                        break;
                    }
                    std::this_thread::yield();
                }
            }
        });
        EXPECT_TRUE(together);
        EXPECT_EQ(ids.size(), threads);
        EXPECT_EQ(runs, std::vector<int>(threads * 3, 1));
    }
}

TEST(QuillanWorkers, FailureOfATaskReachesTheCallerAfterTheOthers)
{
    quillan::Workers workers(4);
    std::atomic<int> done{0};
    EXPECT_THROW(workers.forEach(40,
                                 [&](std::size_t i) {
                                     if (i == 7)
                                         throw std::bad_alloc();
                                     ++done;
                                 }),
                 std::bad_alloc);
    EXPECT_EQ(done.load(), 39);
    // The pool goes on working after a failure; start returns at once and wait joins.
    std::vector<int> out(10, 0);
    workers.start(out.size(), [&](std::size_t i) { out[i] = static_cast<int>(i) * 2; });
    workers.wait();
    EXPECT_EQ(out, (std::vector<int>{0, 2, 4, 6, 8, 10, 12, 14, 16, 18}));
}

// Jobs that follow each other at once, as thinning sub-iterations do: each runs every task
// once and sees all that the one before wrote, whether its threads were still awake or asleep.
TEST(QuillanWorkers, BackToBackJobsEachSeeThePreviousOne)
{
    quillan::Workers workers(4);
    std::vector<long> before(64, 0), after(64, 0);
    for (long job = 0; job < 2000; ++job) {
        if (job % 500 == 499)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));   // the threads fall asleep
        workers.forEach(after.size(), [&](std::size_t i) {
            // A neighbour's result of the previous job: it must be there complete.
            after[i] = before[(i + 1) % before.size()] + 1;
        });
        std::swap(before, after);
        ASSERT_EQ(before, std::vector<long>(before.size(), job + 1)) << job;
    }
}

// The ink of a real scan as a work image: dark pixels, or light lines thickened to three pixels.
std::string scanWorkImage(const std::string& path, bool lightLines)
{
    const QImage grey = QImage(QString::fromStdString(path)).convertToFormat(QImage::Format_Grayscale8);
    if (grey.isNull())
        return {};
    qtest::WorkBitmap b(grey.width(), grey.height());
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* row = grey.constScanLine(y);
        for (int x = 0; x < grey.width(); ++x) {
            if (lightLines ? row[x] <= 127 : row[x] >= 128)
                continue;
            for (int dy = lightLines ? -1 : 0; dy <= (lightLines ? 1 : 0); ++dy)
                for (int dx = lightLines ? -1 : 0; dx <= (lightLines ? 1 : 0); ++dx)
                    if (x + dx >= 0 && y + dy >= 0 && x + dx < b.width && y + dy < b.height)
                        b.set(x + dx, y + dy);
        }
    }
    return b.bytes();
}

// Messages with the seconds of each thinning pass left out, and whether each came on the
// thread that called the conversion.
std::vector<std::string>& messages()
{
    static std::vector<std::string> m;
    return m;
}
std::thread::id caller;
int recordOnCaller(const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::string s = text;
    if (const auto open = s.find(" - "); s.starts_with("2 ") && open != std::string::npos)
        s.erase(open);
    if (std::this_thread::get_id() != caller)
        s += " (other thread)";
    messages().push_back(s);
    return 1;
}

struct Outcome {
    int rc = 0;
    std::string rvl;
    std::string image;
    std::vector<std::string> messages;
};

Outcome convertOn(unsigned threads, const std::string& image, const testutil::TempDir& dir)
{
    const std::string src = dir.file("scan.TMP");
    const std::string out = dir.file("scan.RVL");
    testutil::writeBytes(src, image);
    ::setenv("QUILLAN_THREADS", std::to_string(threads).c_str(), 1);
    messages().clear();
    caller = std::this_thread::get_id();
    RV_SetCallBack(recordOnCaller, recordOnCaller, recordOnCaller);
    Outcome o;
    o.rc = quillanourCnv(src.c_str(), 0, out.c_str(), 1.4143, -1.0);
    RV_SetCallBack(nullptr, nullptr, nullptr);
    ::unsetenv("QUILLAN_THREADS");
    o.rvl = testutil::readBytes(out);
    o.image = testutil::readBytes(src);
    o.messages = messages();
    return o;
}

TEST(QuillanThreads, RealScansGiveTheFileOfOneThread)
{
    struct Scan {
        const char* name;
        bool lightLines;
    };
    const Scan scans[] = {
        {"scan-page-8071-g4.tif", false},
        {"paris-1898-sheet4-edges.png", true},
    };
    testutil::TempDir dir;
    int tried = 0;
    for (const Scan& scan : scans) {
        SCOPED_TRACE(scan.name);
        const std::string path = std::string(NURIVO_TEST_DATA) + "/" + scan.name;
        if (!std::filesystem::exists(path))
            continue;
        const std::string image = scanWorkImage(path, scan.lightLines);
        ASSERT_FALSE(image.empty());
        ++tried;
        const Outcome one = convertOn(1, image, dir);
        ASSERT_EQ(one.rc, 1);
        ASSERT_GT(one.rvl.size(), 100000u);
        for (unsigned threads : {2u, 3u, 8u}) {
            SCOPED_TRACE(threads);
            const Outcome many = convertOn(threads, image, dir);
            EXPECT_EQ(many.rc, 1);
            EXPECT_TRUE(many.rvl == one.rvl) << "RVL files differ";
            EXPECT_TRUE(many.image == one.image) << "images differ after the conversion";
            EXPECT_EQ(many.messages, one.messages);
        }
    }
    if (tried == 0)
        GTEST_SKIP() << "no scans in " << NURIVO_TEST_DATA;
}

} // namespace
