#include "model/kxtbl.h"
#include "platform/codec.h"
#include "platform/registry.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <cstdlib>
#include <map>
#include <sys/resource.h>

namespace {

// Every test gets its own configuration folder, so the key starts empty.
class Settings : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    std::string confPath() const { return dir.file("Tavisol/NV_Tool.conf"); }

    // Stores values in the key as another run of the program would have left them.
    void store(const std::map<std::string, int32_t>& ints,
               const std::map<std::string, std::string>& texts = {})
    {
        auto key = registryCreateKey();
        ASSERT_TRUE(key->openKey(kxRegistryKey, true));
        for (const auto& [name, v] : ints)
            key->writeInt(name, v);
        for (const auto& [name, v] : texts)
            key->writeText(name, v);
        ASSERT_TRUE(key->commit());
    }

    testutil::TempDir dir;
};

TEST_F(Settings, EmptyKeyGivesDefaults)
{
    cfgLoad(registryCreateKey);
    std::map<int, int32_t> want = {
        {3, 30},  {4, 30},  {5, 30},   {35, 30},  {36, 30},  {6, 5},   {7, 3},
        {8, 4},   {9, 420}, {10, 297}, {11, 500}, {12, 200}, {13, 1},  {14, 1},
        {26, 45}, {37, 50}, {40, 1},   {42, 2},   {43, 500}, {44, 500}, {45, 500},
        {49, -1},
    };
    for (int slot = 0; slot < kxIntCount; ++slot) {
        auto it = want.find(slot);
        EXPECT_EQ(cfgGetInt(slot), it == want.end() ? 0 : it->second) << "slot " << slot;
    }
    EXPECT_EQ(cfgGetText(kxDBDir), "");
    EXPECT_EQ(cfgGetText(kxDataDir), "");
    EXPECT_EQ(cfgTable().intNames[kxTextSize], "TextSize");
    EXPECT_EQ(cfgTable().intNames[kxTRELVEX], "TRELVEX");
    EXPECT_EQ(cfgTable().intNames[kxDefaultValue], "");
    EXPECT_EQ(cfgTable().textNames[kxDataDir], "DataDir");
}

TEST_F(Settings, StoredValuesAndTheirDefaultConditions)
{
    struct Case {
        std::map<std::string, int32_t> stored;
        std::vector<std::pair<int, int32_t>> loaded;
    } cases[] = {
        {{{"ENumDSP", 0}, {"BB_Paper", 0}, {"TextSize", 0}}, {{14, 0}, {42, 0}, {3, 30}}},
        {{{"ENumDSP", -1}, {"BB_Paper", -7}}, {{14, 1}, {42, 2}}},
        {{{"HRPos", -3}, {"TNO", -1}, {"VtxVal", 12}}, {{20, 0}, {0, 0}, {6, 12}}},
        {{{"PaperX", 500}}, {{9, 500}, {10, 297}}},
        {{{"PaperY", 210}}, {{9, 420}, {10, 210}}},
        {{{"", 7}, {"SCALE", 2500}}, {{49, 7}, {11, 2500}}},
        {{{"", -20}}, {{49, -20}}}, // the unnamed value has no default
    };
    for (const Case& c : cases) {
        testutil::TempDir caseDir;
        ::setenv("XDG_CONFIG_HOME", caseDir.path().c_str(), 1);
        store(c.stored);
        cfgLoad(registryCreateKey);
        for (auto [slot, v] : c.loaded)
            EXPECT_EQ(cfgGetInt(slot), v) << "slot " << slot;
    }
}

TEST_F(Settings, ValueOfTheWrongTypeReadsAsMissing)
{
    store({{"DBDir", 5}}, {{"TextSize", "40"}, {"", "x"}, {"ENumDSP", "0"}});
    cfgLoad(registryCreateKey);
    EXPECT_EQ(cfgGetInt(kxTextSize), 30);
    EXPECT_EQ(cfgGetInt(kxENumDSP), 1);
    EXPECT_EQ(cfgGetInt(kxDefaultValue), -1);
    EXPECT_EQ(cfgGetText(kxDBDir), "");
}

TEST_F(Settings, SaveWritesEverySlotAndLoadReadsItBack)
{
    store({{"KenType", 9}, {"", 3}}, {{"CurDataDir", "/srv/apl/"}, {"DataDir", "/data/地図"}});
    cfgLoad(registryCreateKey);
    cfgSetInt(kxPaperSize, 7);
    cfgSetInt(kxDefaultValue, -4);
    cfgSetText(kxDBDir, "db \"quoted\" \\ back\nslash");
    ASSERT_TRUE(cfgSave(registryCreateKey));

    std::string conf = testutil::readBytes(confPath());
    EXPECT_NE(conf.find("\"KZLines\"=dword:0000002d"), std::string::npos); // defaulted, saved
    EXPECT_NE(conf.find("@=dword:fffffffc"), std::string::npos);
    EXPECT_NE(conf.find("\"CurDataDir\"=\"/srv/apl/\""), std::string::npos); // kept, not written

    TKXTbl saved = cfgTable();
    cfgSetInt(kxPaperSize, 1);
    cfgLoad(registryCreateKey);
    EXPECT_EQ(cfgTable().intValues, saved.intValues);
    EXPECT_EQ(cfgTable().textValues, saved.textValues);
    EXPECT_EQ(cfgGetInt(kxPaperSize), 7);
    EXPECT_EQ(cfgGetInt(kxDefaultValue), -4);
    EXPECT_EQ(cfgGetInt(kxKenType), 9);
    EXPECT_EQ(cfgGetText(kxDataDir), "/data/地図");
}

TEST_F(Settings, AccessorsIgnoreIndexesOutsideTheTable)
{
    cfgLoad(registryCreateKey);
    cfgSetInt(50, 1);
    cfgSetInt(-1, 1);
    cfgSetText(2, "x");
    EXPECT_EQ(cfgGetInt(50), 0);
    EXPECT_EQ(cfgGetInt(-1), 0);
    EXPECT_EQ(cfgGetText(2), "");
}

TEST_F(Settings, FailedSaveIsReportedOnceAndKeepsTheStoredFile)
{
    store({{"TextSize", 44}});
    std::string before = testutil::readBytes(confPath());
    cfgLoad(registryCreateKey);

    // A file-size limit stands in for a full disk (it holds for root too).
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &old);
    rlimit oldLimit {};
    ::getrlimit(RLIMIT_FSIZE, &oldLimit);
    rlimit small = oldLimit;
    small.rlim_cur = 200;
    ::setrlimit(RLIMIT_FSIZE, &small);

    testutil::MessageRecorder messages;
    bool first = cfgSave(registryCreateKey);
    bool second = cfgSave(registryCreateKey);

    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    ::sigaction(SIGXFSZ, &old, nullptr);

    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].find(confPath()), std::string::npos);
    EXPECT_EQ(testutil::readBytes(confPath()), before);

    EXPECT_TRUE(cfgSave(registryCreateKey));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(Settings, UnusableKeyLoadsDefaultsAndSaveReports)
{
    // The key's file cannot exist where a folder of that name stands.
    std::filesystem::create_directories(confPath());
    cfgLoad(registryCreateKey);
    EXPECT_EQ(cfgGetInt(kxTextSize), 30);
    EXPECT_EQ(cfgGetInt(kxDefaultValue), -1);
    testutil::MessageRecorder messages;
    EXPECT_FALSE(cfgSave(registryCreateKey));
    EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(Settings, AppKindNameFromTheDefinitionFile)
{
    struct Case {
        const char* firstLine; // nullptr: no file
        const char* name;
    } cases[] = {
        {"3\tQuorelR2\tC:\\base", "QuorelR2"},
        {"3 台帳 .", "台帳"},
        {"3", "QuorelR"},
        {"", "QuorelR"},
        {nullptr, "QuorelR"},
    };
    std::string folder = dir.path() + "/apl/";
    std::filesystem::create_directories(folder);
    store({}, {{"CurDataDir", folder}});
    for (const Case& c : cases) {
        std::filesystem::remove(folder + "Kind5.def");
        if (c.firstLine)
            testutil::writeBytes(folder + "Kind5.def", utf8ToCp932(c.firstLine) + "\r\nmore\r\n");
        cfgLoadDataDir(registryCreateKey, "Kind5");
        EXPECT_EQ(cfgGetAppKindName(), c.name) << (c.firstLine ? c.firstLine : "(none)");
        EXPECT_EQ(cfgGetCurDataDir(), folder);
    }
    // The folder text is used as it stands: no separator is put before the name.
    store({}, {{"CurDataDir", dir.path() + "/apl/Kin"}});
    testutil::writeBytes(folder + "Kind5.def", "1\tJoined\r\n");
    cfgLoadDataDir(registryCreateKey, "d5");
    EXPECT_EQ(cfgGetAppKindName(), "Joined");
}

} // namespace
