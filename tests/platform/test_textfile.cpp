#include "platform/textfile.h"

#include "testutil.h"

#include <gtest/gtest.h>

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
