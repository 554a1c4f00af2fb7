#include "model/layer.h"

#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

using testutil::MessageRecorder;
using testutil::readBytes;
using testutil::TempDir;
using testutil::writeBytes;

namespace {

TLayerRec row(int code, std::string name = "r", TColor color = 0)
{
    TLayerRec r;
    r.code = code;
    r.name = std::move(name);
    r.color = color;
    return r;
}

std::vector<int> codesOf(const TLayer& l)
{
    std::vector<int> codes;
    for (int i = 0; i < l.count; ++i)
        codes.push_back(l.rows[static_cast<size_t>(i)].code);
    return codes;
}

std::vector<std::string> namesOf(const TLayer& l)
{
    std::vector<std::string> names;
    for (int i = 0; i < l.count; ++i)
        names.push_back(l.rows[static_cast<size_t>(i)].name);
    return names;
}

} // namespace

TEST(LayerFile, Loading)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::string bytes;
        int result;
        std::vector<int> codes;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"0-row header", "0 1\r\n", 1, {1}, {"Layer_0"}},
        {"negative header", "-4 1\n", 1, {1}, {"Layer_0"}},
        {"sorted on load", "3 1\r\n30\tc\t0\t1\t1\t1\r\n10\ta\t0\t1\t1\t1\r\n20\tb\t0\t1\t1\t1\r\n",
         3, {10, 20, 30}, {"a", "b", "c"}},
        {"LF ends, duplicates stay", "3 1\n5\tx\t0\t1\t1\t1\n5\ty\t0\t1\t1\t1\n2\tz\t0\t1\t1\t1\n",
         3, {2, 5, 5}, {"z", "y", "x"}},
        {"fewer rows than the header", "5 1\n7\ta\t0\t1\t1\t1\n", 1, {7}, {"a"}},
        {"more rows than the header", "1 1\n7\ta\t0\t1\t1\t1\n8\tb\t0\t1\t1\t1\n", 1, {7}, {"a"}},
        {"blanks as separators", "1 1\n7 a 0 1 1 1\n", 1, {7}, {"a"}},
        {"Japanese name", "1 1\n3\t\x93\xb9\x98\x48\t255\t1\t1\t0\r\n", 1, {3}, {"道路"}},
    };
    for (const Case& c : cases) {
        writeBytes(dir.file("LayerDef.Txt"), c.bytes);
        TLayer l;
        EXPECT_EQ(l.layerLoad(dir.file("LayerDef.Txt")), c.result) << c.what;
        EXPECT_EQ(codesOf(l), c.codes) << c.what;
        EXPECT_EQ(namesOf(l), c.names) << c.what;
    }
}

TEST(LayerFile, ZeroRowsGiveTheFirstDefaultRowAndMissingFilesKeepTheCount)
{
    TempDir dir;
    writeBytes(dir.file("zero.Txt"), "0 1\n");
    TLayer l;
    ASSERT_EQ(l.layerLoad(dir.file("zero.Txt")), 1);
    const TLayerRec r = l.layerGet(0);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.name, "Layer_0");
    EXPECT_EQ(r.color, 0);
    EXPECT_EQ(r.lineCode, 1);
    EXPECT_EQ(r.spareValue, 1);
    EXPECT_EQ(r.legendMode, 1);
    EXPECT_EQ(l.layerGet(5).color, 0x800000); // the other defaults fill slots 1 to 5
    EXPECT_EQ(l.layerGet(5).name, "Layer_5");

    writeBytes(dir.file("empty.Txt"), "");
    for (const char* name : {"missing.Txt", "empty.Txt"}) {
        TLayer k;
        k.layerAdd(row(40));
        k.layerAdd(row(50));
        EXPECT_EQ(k.layerLoad(dir.file(name)), 0) << name;
        EXPECT_EQ(k.count, 2) << name;
        EXPECT_EQ(k.rows[0].name, "Layer_0") << name;
    }
}

TEST(LayerFile, ShortRowsTakeTheDefaultsOfANewRow)
{
    TempDir dir;
    writeBytes(dir.file("short.Txt"), "2 1\n9\tshort\t255\n4\n");
    TLayer l;
    ASSERT_EQ(l.layerLoad(dir.file("short.Txt")), 2);
    const TLayerRec& onlyCode = l.rows[0];
    EXPECT_EQ(onlyCode.code, 4);
    EXPECT_EQ(onlyCode.name, "");
    const TLayerRec& part = l.rows[1];
    EXPECT_EQ(part.color, 255);
    EXPECT_EQ(part.lineCode, 1);
    EXPECT_EQ(part.spareValue, 1);
    EXPECT_EQ(part.legendMode, 1);
}

TEST(LayerFile, SaveWritesCp932WithCrLfAndLoadsBack)
{
    TempDir dir;
    TLayer l;
    l.layerAdd(row(20, "道路", 0x0000FF));
    TLayerRec r = row(3, "b", 0x123456);
    r.lineCode = 203;
    r.spareValue = 7;
    r.legendMode = 0;
    l.layerAdd(r);
    ASSERT_EQ(l.layerSave(dir.file("out.Txt")), 2);
    EXPECT_EQ(readBytes(dir.file("out.Txt")),
              "2 1\r\n3\tb\t1193046\t203\t7\t0\r\n20\t\x93\xb9\x98\x48\t255\t1\t1\t1\r\n");

    TLayer back;
    ASSERT_EQ(back.layerLoad(dir.file("out.Txt")), 2);
    for (int i = 0; i < 2; ++i) {
        const TLayerRec& a = l.rows[i];
        const TLayerRec& b = back.rows[i];
        EXPECT_EQ(std::tie(a.code, a.name, a.color, a.lineCode, a.spareValue, a.legendMode),
                  std::tie(b.code, b.name, b.color, b.lineCode, b.spareValue, b.legendMode));
    }

    for (const std::string& bad : {dir.file("no-folder/LayerDef.Txt"), std::string("/dev/full")}) {
        if (bad == "/dev/full" && !std::filesystem::exists(bad))
            continue;
        MessageRecorder msgs;
        EXPECT_EQ(l.layerSave(bad), 0) << bad;
        EXPECT_EQ(msgs.messages, std::vector<std::string>{"ERR OPEN " + bad});
    }
}

TEST(LayerList, AddSetGetRemove)
{
    TLayer l;
    EXPECT_EQ(l.layerAdd(row(30)), 0);
    EXPECT_EQ(l.layerAdd(row(10)), 0); // the lowest code goes first
    EXPECT_EQ(l.layerAdd(row(20)), 1);
    EXPECT_EQ(codesOf(l), (std::vector<int>{10, 20, 30}));

    EXPECT_EQ(l.layerIndexOfId(30), 2);
    EXPECT_EQ(l.layerIndexOfId(99), 0);
    EXPECT_EQ(l.layerHasId(1, 0, row(10)), 1);
    EXPECT_EQ(l.layerHasId(0, 0, row(10)), 0);
    EXPECT_EQ(l.layerHasId(0, 1, row(10)), 1);

    EXPECT_EQ(l.layerSet(0, row(99, "moved")), 0); // the index passed, not the new place
    EXPECT_EQ(codesOf(l), (std::vector<int>{20, 30, 99}));
    EXPECT_EQ(l.rows[2].name, "moved");

    EXPECT_EQ(l.layerGet(-1).code, 20);
    EXPECT_EQ(l.layerGetPtr(-3), &l.rows[0]);

    EXPECT_EQ(l.layerRemove(1), 1);
    EXPECT_EQ(codesOf(l), (std::vector<int>{20, 99}));
    EXPECT_EQ(l.layerRemove(5), 5); // outside the rows: nothing happens
    EXPECT_EQ(l.count, 2);
    TLayer empty;
    empty.layerRemove(0);
    EXPECT_EQ(empty.count, 0);
}

TEST(LayerList, GrowthDoublesAtCapacityMinusOne)
{
    TLayer l;
    EXPECT_EQ(l.capacity, 128);
    for (int i = 0; i < 127; ++i)
        l.layerAdd(row(1000 - i)); // each new row sorts to the front
    EXPECT_EQ(l.capacity, 128);
    EXPECT_EQ(l.layerAdd(l.rows[126]), 126); // the 128th row, a copy of one of ours
    EXPECT_EQ(l.capacity, 256);
    EXPECT_EQ(l.count, 128);
    EXPECT_EQ(l.rows[0].code, 874);
    EXPECT_EQ(l.rows[127].code, 1000);
}

TEST(LayerList, SortAfterAppendMatchesTheExchangeSort)
{
    // Rows with equal codes end up in the order the exchange sort leaves them; appending
    // to sorted rows must give exactly that order, and so must rows edited in place.
    const std::vector<int> codes = {5, 3, 5, 1, 3, 5, 2, 2, 9, 0, 5};
    TLayer added, sorted;
    for (size_t i = 0; i < codes.size(); ++i) {
        const TLayerRec r = row(codes[i], "n" + std::to_string(i));
        added.layerAdd(r);
        sorted.rows[i] = r;
        sorted.count = static_cast<int>(i) + 1;
        sorted.layerSortById();
        ASSERT_EQ(namesOf(added), namesOf(sorted)) << "after row " << i;
    }
    added.layerGetPtr(2)->code = 100; // unsorted rows before an add
    sorted.rows[2].code = 100;
    added.layerAdd(row(4, "x"));
    sorted.rows[static_cast<size_t>(sorted.count)] = row(4, "x");
    ++sorted.count;
    sorted.layerSortById();
    EXPECT_EQ(namesOf(added), namesOf(sorted));
}

TEST(LayerFile, LoadPlacesRowsAsAddingThemOneByOneDoes)
{
    // The load's order is the exchange sort's, equal codes included (5, 7, 7, 3 loads with the
    // two 7s swapped): files of random codes, with few distinct codes so that runs are long,
    // load as layerAdd row by row places them, capacity included.
    TempDir dir;
    std::mt19937 random(16);
    for (int file = 0; file < 60; ++file) {
        const int rows = file == 0 ? 4 : static_cast<int>(random() % 700);
        const int distinct = 1 + static_cast<int>(random() % (file % 3 == 0 ? 4 : 60));
        std::string bytes = std::to_string(rows) + " 1\r\n";
        TLayer added;
        for (int i = 0; i < rows; ++i) {
            const int code = file == 0 ? std::vector<int>{5, 7, 7, 3}[static_cast<size_t>(i)]
                                       : static_cast<int>(random() % static_cast<unsigned>(distinct)) - 2;
            const std::string name = "n" + std::to_string(i);
            bytes += std::to_string(code) + "\t" + name + "\t" + std::to_string(i) + "\t1\t1\t1\r\n";
            added.layerAdd(row(code, name, i));
        }
        writeBytes(dir.file("l.lay"), bytes);
        TLayer loaded;
        ASSERT_EQ(loaded.layerLoad(dir.file("l.lay")), rows == 0 ? 0 : rows);
        if (rows == 0)
            continue;
        ASSERT_EQ(namesOf(loaded), namesOf(added)) << "file " << file;
        EXPECT_EQ(loaded.capacity, added.capacity);
        if (file == 0) {
            EXPECT_EQ(namesOf(loaded), (std::vector<std::string>{"n3", "n0", "n2", "n1"}));
        }
    }
}

TEST(LayerFile, LineBreaksInANameAreWrittenAsUnderscores)
{
    TempDir dir;
    TLayer layer;
    layer.layerAdd(row(1, "道路\r\n境界"));
    layer.layerAdd(row(2, "a\nb"));
    layer.layerAdd(row(3, "last"));
    EXPECT_EQ(layer.layerSave(dir.file("l.lay")), 3);
    TLayer back;
    EXPECT_EQ(back.layerLoad(dir.file("l.lay")), 3);
    EXPECT_EQ(namesOf(back), (std::vector<std::string>{"道路__境界", "a_b", "last"}));
}
