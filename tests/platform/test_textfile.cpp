#include "platform/textfile.h"

#include "testutil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>

using testutil::readBytes;
using testutil::TempDir;
using testutil::writeBytes;

namespace {
std::vector<std::string> readAll(const std::string& path)
{
    TextReader r(path);
    std::vector<std::string> lines;
    std::string line;
    while (r.readLine(line))
        lines.push_back(line);
    return lines;
}
} // namespace

TEST(TextFile, LineEndsAndTheLastLine)
{
    TempDir dir;
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\n", {""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
        {"\x93\xb9\x98\x48\r\n", {"道路"}},
    };
    for (const Case& c : cases) {
        writeBytes(dir.file("t.txt"), c.bytes);
        EXPECT_EQ(readAll(dir.file("t.txt")), c.lines);
    }
}

TEST(TextFile, LongLinesAreReadWhole)
{
    TempDir dir;
    std::string big(10 * 1024 * 1024 + 7, 'x');
    writeBytes(dir.file("big.txt"), big + "\r\nend");
    auto lines = readAll(dir.file("big.txt"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].size(), big.size());
    EXPECT_EQ(lines[1], "end");
}

TEST(TextFile, MissingFileAndFolderDoNotOpen)
{
    TempDir dir;
    TextReader r;
    EXPECT_FALSE(r.open(dir.file("none.txt")));
    EXPECT_FALSE(r.open(dir.path()));
    TextWriter w;
    EXPECT_FALSE(w.open(dir.path()));
    EXPECT_FALSE(w.open(dir.file("no/such/folder.txt")));
}

TEST(TextFile, WriterWritesCp932WithCrLf)
{
    TempDir dir;
    TextWriter w(dir.file("o.txt"));
    ASSERT_TRUE(w.isOpen());
    w.print("%d %s\n", 4, "図形");
    w.writeLine("①");
    w.write("a\r\nb");
    EXPECT_TRUE(w.close());
    EXPECT_EQ(readBytes(dir.file("o.txt")), "4 \x90\x7d\x8c\x60\r\n\x87\x40\r\na\r\nb");
}

TEST(TextFile, FullDiskIsReported)
{
    TextWriter w;
    if (!w.open("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    w.write(std::string(200000, 'x'));
    EXPECT_FALSE(w.close());
}

namespace {
// Lets the process write no file beyond `bytes` while it lives (a full disk, as far as the
// writer can tell).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit old_ {};
    void (*previousHandler_)(int);
};

std::vector<std::string> folderEntries(const std::string& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    return names;
}
} // namespace

TEST(TextFile, FailedSaveKeepsTheFileThatWasThere)
{
    TempDir dir;
    const std::string path = dir.file("sheet.ZKI");
    writeBytes(path, "old content\r\n");
    ::chmod(path.c_str(), 0640);
    {
        FileSizeLimit limit(4096);
        TextWriter w;
        ASSERT_TRUE(w.open(path));
        w.write(std::string(100000, 'x'));
        EXPECT_FALSE(w.close());
    }
    EXPECT_EQ(readBytes(path), "old content\r\n");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"sheet.ZKI"});

    // A save that succeeds replaces the content and keeps the file's permissions.
    TextWriter w(path);
    w.writeLine("new");
    EXPECT_TRUE(w.close());
    EXPECT_EQ(readBytes(path), "new\r\n");
    struct stat st {};
    ::stat(path.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"sheet.ZKI"});
}

TEST(TextFile, ReportingWriterNamesThePath)
{
    TempDir dir;
    testutil::MessageRecorder rec;
    TextWriter w;
    EXPECT_FALSE(w.openReporting(dir.file("none/x.txt")));
    ASSERT_TRUE(w.openReporting("/dev/full"));
    w.write(std::string(200000, 'x'));
    EXPECT_FALSE(w.closeReporting());
    EXPECT_EQ(rec.messages, (std::vector<std::string>{"ERR OPEN " + dir.file("none/x.txt"),
                                                      "ERR OPEN /dev/full"}));
}

TEST(TextFile, InPlaceSaveOnAFullDiskPutsTheOldContentBack)
{
    // A hard link makes the save write in place. The old content is longer than the limit:
    // the bytes beyond it were never overwritten and still count as put back.
    TempDir dir;
    const std::string path = dir.file("sheet.ZKI");
    std::string old;
    for (int i = 0; old.size() < 3000; ++i)
        old += std::to_string(i) + " old line\r\n";
    writeBytes(path, old);
    ASSERT_EQ(::link(path.c_str(), dir.file("second").c_str()), 0);
    {
        FileSizeLimit limit(1024);
        TextWriter w;
        ASSERT_TRUE(w.open(path));
        w.write(std::string(100000, 'x'));
        EXPECT_FALSE(w.close());
        EXPECT_FALSE(w.restoreFailed());
    }
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(readBytes(dir.file("second")), old);
    // A shorter new content is cut to its length.
    TextWriter w(path);
    w.writeLine("new");
    EXPECT_TRUE(w.close());
    EXPECT_EQ(readBytes(dir.file("second")), "new\r\n");
}

TEST(TextFile, SaveAbandonedWithoutCloseKeepsTheFileThatWasThere)
{
    // A saver left by an exception half-way (memory running out) never closes its writer:
    // what it wrote so far may not take the old file's place, by rename or in place.
    TempDir dir;
    const std::string path = dir.file("sheet.ZKI");
    for (bool hardLinked : {false, true}) {
        SCOPED_TRACE(hardLinked ? "written in place" : "written beside");
        writeBytes(path, "old content\r\n");
        if (hardLinked) {
            ASSERT_EQ(::link(path.c_str(), dir.file("second").c_str()), 0);
        }
        try {
            TextWriter w(path);
            ASSERT_TRUE(w.isOpen());
            w.write(std::string(100000, 'x'));
            throw std::bad_alloc();
        } catch (const std::bad_alloc&) {
        }
        EXPECT_TRUE(readBytes(path) == "old content\r\n") << readBytes(path).size() << " bytes";
        std::filesystem::remove(dir.file("second"));
        EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"sheet.ZKI"});
    }
    // A new file abandoned so is not made at all.
    std::filesystem::remove(path);
    {
        TextWriter w(path);
        w.writeLine("part");
    }
    EXPECT_TRUE(folderEntries(dir.path()).empty());
}
