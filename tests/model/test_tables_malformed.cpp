// Garbage through every reader of the settings, reference tables, Def files and RVL files:
// none may crash, hang or read out of bounds (the sanitizer build runs these too).
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/qrv.h"
#include "model/tracegrid.h"
#include "platform/registry.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

// Inputs that have broken readers of text files before: binary noise, no line ends, very
// long lines, NUL bytes, lone CR, truncated double-byte characters, numbers out of range.
std::vector<std::string> garbageFiles()
{
    std::vector<std::string> files = {
        "",
        "\n\n\n",
        "\r\r\r\r",
        std::string("\0\0\0\t\0\"\n\0", 8),
        std::string(100000, 'x'),
        std::string(5000, '\t') + "\n" + std::string(5000, '"') + "\n",
        "\x81\n\x82\t\x83\"\n\xff\xfe\xfd",
        "99999999999999999999 -99999999999999999999 1e999 nan\n"
        "-2147483648 2147483647 -0 +5\n1 2 3 4\n1 2 3 4\n1 2 3 4\n",
        "PS\nPS\nPE\nPE\nPS\n1\n\n-2147483648 -2147483648\n2147483647 2147483647\n",
        "1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1"
        "\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\t1\n種別\n1\t\"\t\"\t\"\n-1\n",
        "\"=dword:\n@=\n@=dword:\n\"a\"=\"\\\n\"b\"=dword:ffffffffff\n[\n;\n\"\"=1\n",
    };
    std::mt19937 rng(1926);
    const std::string alphabet = "0123456789 \t\r\n\"-+.PSE@=:;[]\\dword\x81\x40\x82\xa0\xff";
    for (int n = 0; n < 40; ++n) {
        std::string f;
        size_t len = rng() % 3000;
        for (size_t i = 0; i < len; ++i)
            f += n % 2 ? static_cast<char>(rng() & 0xff) : alphabet[rng() % alphabet.size()];
        files.push_back(f);
    }
    return files;
}

TEST(MalformedInput, ReferenceTables)
{
    testutil::TempDir dir;
    testutil::MessageRecorder quiet;
    qrvCreateTables(1);
    for (const std::string& bytes : garbageFiles()) {
        testutil::writeBytes(dir.file("t.txt"), bytes);
        int n = qrvLoadTable(0, dir.file("t.txt"));
        ASSERT_EQ(n, qrvGetRecordCount(0));
        ASSERT_LE(qrvGetColumnCount(0), qrvMaxColumns);
        for (int r = 0; r < n; ++r) {
            const TQRV_Data* rec = qrvGetRecord(0, r);
            ASSERT_NE(rec, nullptr);
            ASSERT_EQ(static_cast<int>(rec->field.size()), qrvGetColumnCount(0));
            qrvFindRecord(0, rec->id);
        }
    }
    EXPECT_TRUE(quiet.messages.empty());
}

TEST(MalformedInput, DefFiles)
{
    testutil::TempDir dir;
    for (const std::string& bytes : garbageFiles()) {
        testutil::writeBytes(dir.file("a.Def"), bytes);
        TImgDef def;
        def.imagePath = dir.file("a.tif");
        ASSERT_EQ(imgDefRead(def), 1);
        geoCalcTransform(def);
        double X = 0, Y = 0, x = 0, y = 0;
        geoPixToWorld(def, 10, 10, X, Y);
        geoWorldToPix(def, X, Y, x, y);
        geoPixToMetre(def, 100);
        EXPECT_TRUE(std::isfinite(def.worldX1) && std::isfinite(def.worldY2));
        EXPECT_FALSE(std::isnan(def.lenRatio));
    }
}

TEST(MalformedInput, RvlFiles)
{
    testutil::TempDir dir;
    for (const std::string& bytes : garbageFiles()) {
        testutil::writeBytes(dir.file("a.RVL"), bytes);
        ASSERT_EQ(polyInit(64, 48), 1);
        int n = polyReadRvl(dir.file("a.RVL"), 48);
        ASSERT_EQ(n, polyGetSegCount());
        polyGridFromBitmap(1, 64, 48);
        polyMarkVertices();
        int x = 0, y = 0;
        if (polyFindVertexNear(100, 32, 24, x, y)) {
            ASSERT_EQ(polyGetCell(x, y), traceEndPoint);
        }
    }
    polyFree();
}

TEST(MalformedInput, SettingsFileAndApplicationDefinition)
{
    testutil::TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    std::filesystem::create_directories(dir.file("Tavisol"));
    for (const std::string& bytes : garbageFiles()) {
        testutil::writeBytes(dir.file("Tavisol/NV_Tool.conf"), bytes);
        cfgLoad(registryCreateKey);
        ASSERT_GE(cfgGetInt(kxTextSize), 1);
        testutil::writeBytes(dir.file("Tavisol/NV_Tool.conf"), "\"CurDataDir\"=\"" + dir.path() + "/\"\n");
        testutil::writeBytes(dir.file("App.def"), bytes);
        cfgLoadDataDir(registryCreateKey, "App");
        ASSERT_FALSE(cfgGetAppKindName().empty());
    }
    ::unsetenv("XDG_CONFIG_HOME");
}

} // namespace
