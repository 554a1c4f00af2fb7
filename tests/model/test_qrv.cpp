#include "model/qrv.h"
#include "platform/codec.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::string> split(std::string_view line)
{
    std::vector<std::string_view> views;
    int n = qrvSplitLine(line, views);
    EXPECT_EQ(n, static_cast<int>(views.size()));
    return {views.begin(), views.end()};
}

TEST(ReferenceTableSplit, Fields)
{
    using V = std::vector<std::string>;
    struct Case {
        std::string line;
        V fields;
    } cases[] = {
        {"", {""}},
        {"12\tabc\t\tx", {"12", "abc", "", "x"}},
        {"1\t\"quoted\"\t2", {"1", "quoted", "2"}},
        {"\"5\"\tb", {"", "b"}},                   // a quote at the start ends field 0
        {"1\tab\"cd\"ef\tz", {"1", "ab", "z"}},     // a quote inside ends the field there
        {"1\t\"\t2", {"1", "", "2"}},
        {"1\t\"", {"1", ""}},
        {"a\t", {"a", ""}},
        {"a\nb\tc", {"a", "c"}},
        {"a\rb\tc\r", {"a\rb", "c\r"}},          // a carriage return is no field end
    };
    for (const Case& c : cases)
        EXPECT_EQ(split(c.line), c.fields) << c.line;

    std::string wide;
    for (int i = 0; i < 45; ++i)
        wide += std::to_string(i) + "\t";
    V fields = split(wide);
    ASSERT_EQ(fields.size(), 40u); // fields past the 40th are ignored
    EXPECT_EQ(fields[39], "39");
}

class ReferenceTable : public ::testing::Test {
protected:
    void SetUp() override { qrvCreateTables(2); }

    // Writes a table file in the register's encoding.
    std::string table(const std::string& utf8)
    {
        std::string path = dir.file("層.txt");
        testutil::writeBytes(path, utf8ToCp932(utf8));
        return path;
    }

    testutil::TempDir dir;
};

TEST_F(ReferenceTable, ColumnsEndAtTheFirstZeroType)
{
    std::string path = table("1\t2\t0\t5\r\n番号\t所有者\t備考\t種別\r\n"
                             "7\t山田\tx\t3\r\n");
    EXPECT_EQ(qrvLoadTable(1, path), 1);
    EXPECT_EQ(qrvGetColumnCount(1), 2);
    EXPECT_EQ(qrvGetColumnType(1, 0), 1);
    EXPECT_EQ(qrvGetColumnType(1, 1), 2);
    EXPECT_EQ(qrvGetColumnName(1, 1), "所有者");
    const TQRV_Data* rec = qrvGetRecord(1, 0);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->field, (std::vector<std::string>{"7", "山田"}));
    EXPECT_EQ(rec->kind, 0); // "種別" lies past the columns; column 11 is missing
    EXPECT_EQ(qrvGetRecordCount(0), 0); // the other table is untouched
}

TEST_F(ReferenceTable, WidthsKindColumnAndRecords)
{
    std::string path = table("1\t1\t1\t1\n"
                             "番号\t地番名\t種別\tabc\n"
                             "10\t\"東町\"\t4\tlonger text\n"
                             "20\tx\t\"9\"\n"           // quoted after a TAB: read without quotes
                             "10\t二番目\t5\tq\n"
                             "3\n"                      // fewer fields than columns
                             "0\tend\t1\t1\n"
                             "30\tafter\t1\t1\n");
    ASSERT_EQ(qrvLoadTable(0, path), 4);
    EXPECT_EQ(qrvGetRecordCount(0), 4);
    EXPECT_EQ(qrvGetColumnWidth(0, 0), 4);  // "番号": two double-byte characters
    EXPECT_EQ(qrvGetColumnWidth(0, 1), 6);  // "地番名" and "二番目": three each
    EXPECT_EQ(qrvGetColumnWidth(0, 3), 11); // raised by "longer text"
    struct Want {
        int id, kind;
        std::vector<std::string> field;
    } want[] = {
        {10, 4, {"10", "東町", "4", "longer text"}},
        {20, 9, {"20", "x", "9", ""}},
        {10, 5, {"10", "二番目", "5", "q"}},
        {3, 0, {"3", "", "", ""}},
    };
    for (int r = 0; r < 4; ++r) {
        const TQRV_Data* rec = qrvGetRecord(0, r);
        ASSERT_NE(rec, nullptr);
        EXPECT_EQ(rec->id, want[r].id) << r;
        EXPECT_EQ(rec->kind, want[r].kind) << r;
        EXPECT_EQ(rec->field, want[r].field) << r;
    }
    EXPECT_EQ(qrvFindRecord(0, 10), 0); // the first of two
    EXPECT_EQ(qrvFindRecord(0, 3), 3);
    EXPECT_EQ(qrvFindRecord(0, 30), -1); // after the end of the records
    EXPECT_EQ(qrvGetRecord(0, 4), nullptr);
    // A name finds the record its number names; beyond 32 bits it names none, never the
    // record it would wrap to.
    const struct {
        const char* name;
        int record;
    } names[] = {{"20", 1}, {" 3x", 3}, {"4294967299", -1}, {"-4294967293", -1}, {"", -1}};
    for (const auto& n : names)
        EXPECT_EQ(qrvFindRecordNamed(0, n.name), n.record) << n.name;
}

TEST_F(ReferenceTable, DefaultKindColumnIsEleven)
{
    std::string row = "5";
    for (int c = 1; c < 12; ++c)
        row += "\t" + std::to_string(c * 10);
    std::string path = table("1\t1\t1\na\tb\tc\n" + row + "\n");
    ASSERT_EQ(qrvLoadTable(0, path), 1);
    EXPECT_EQ(qrvGetRecord(0, 0)->kind, 110);
    EXPECT_EQ(qrvGetRecord(0, 0)->field.size(), 3u);
}

TEST_F(ReferenceTable, RecordsEndAtZeroOrTextOrQuotedId)
{
    struct Case {
        std::string records;
        int count;
    } cases[] = {
        {"1\ta\n2\tb\n", 2},
        {"1\ta\nabc\tb\n2\tc\n", 1},
        {"1\ta\n\"2\"\tb\n3\tc\n", 1},
        {"\n1\ta\n", 0},
        {"", 0},
    };
    for (const Case& c : cases) {
        std::string path = table("1\t1\nid\tname\n" + c.records);
        EXPECT_EQ(qrvLoadTable(0, path), c.count) << c.records;
        EXPECT_EQ(qrvGetRecordCount(0), c.count);
    }
}

TEST_F(ReferenceTable, MissingFileIsReportedAndKeepsTheTable)
{
    ASSERT_EQ(qrvLoadTable(0, table("1\nid\n8\n")), 1);
    testutil::MessageRecorder messages;
    std::string missing = dir.file("なし.txt");
    EXPECT_EQ(qrvLoadTable(0, missing), 0);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Can't Open " + missing);
    EXPECT_EQ(qrvGetRecordCount(0), 1);
    EXPECT_EQ(qrvGetRecord(0, 0)->id, 8);
}

TEST(ReferenceTables, CreateAndOutOfRangeIndexes)
{
    EXPECT_EQ(qrvCreateTables(3), 3);
    EXPECT_EQ(qrvGetTableCount(), 3);
    EXPECT_EQ(qrvCreateTables(-1), -1);
    EXPECT_EQ(qrvGetTableCount(), 0);
    EXPECT_EQ(qrvGetRecordCount(0), 0);
    EXPECT_EQ(qrvGetColumnName(5, 0), "");
    EXPECT_EQ(qrvFindRecord(0, 1), -1);
    EXPECT_EQ(qrvGetRecord(0, 0), nullptr);
    EXPECT_EQ(qrvLoadTable(0, "/nonexistent"), 0);
}

} // namespace
