// The settings store behind the registry key: where it lives and how it keeps typed values.
#include "platform/registry.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1); }
    void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

    std::unique_ptr<RegistryKey> open(bool create = true)
    {
        auto key = registryCreateKey();
        EXPECT_TRUE(key->openKey("SOFTWARE\\Tavisol\\NV_Tool", create));
        return key;
    }

    testutil::TempDir dir;
};

TEST_F(SettingsStore, KeyIsAFileUnderTheConfigurationFolder)
{
    auto missing = registryCreateKey();
    EXPECT_FALSE(missing->openKey("SOFTWARE\\Tavisol\\NV_Tool", false));

    auto key = open();
    EXPECT_EQ(key->location(), dir.file("Tavisol/NV_Tool.conf"));
    key->writeInt("A", 1);
    ASSERT_TRUE(key->commit());
    EXPECT_TRUE(std::filesystem::exists(dir.file("Tavisol/NV_Tool.conf")));
    EXPECT_TRUE(registryCreateKey()->openKey("SOFTWARE\\Tavisol\\NV_Tool", false));
}

TEST_F(SettingsStore, TypedValuesRoundTrip)
{
    struct Text {
        std::string name, value;
    } texts[] = {
        {"Plain", "/home/user/maps"},
        {"Quotes", "a \"b\" \\c\\ d"},
        {"Lines", "one\ntwo\r\nthree"},
        {"Japanese", "地番図　台帳"},
        {"Empty", ""},
        {"Equals", "x=1;y,2 [z]"},
    };
    struct Int {
        std::string name;
        int32_t value;
    } ints[] = {{"Zero", 0}, {"Minus", -1}, {"Low", INT32_MIN}, {"High", INT32_MAX}, {"", 49}};
    {
        auto key = open();
        for (const Text& t : texts)
            key->writeText(t.name, t.value);
        for (const Int& i : ints)
            key->writeInt(i.name, i.value);
        ASSERT_TRUE(key->commit());
    }
    auto key = open(false);
    for (const Text& t : texts) {
        EXPECT_EQ(key->readText(t.name), t.value) << t.name;
        EXPECT_EQ(key->readInt(t.name), std::nullopt) << t.name;
    }
    for (const Int& i : ints) {
        EXPECT_EQ(key->readInt(i.name), i.value) << i.name;
        EXPECT_EQ(key->readText(i.name), std::nullopt) << i.name;
    }
    EXPECT_EQ(key->readInt("Absent"), std::nullopt);
    EXPECT_EQ(key->readText("Absent"), std::nullopt);
}

TEST_F(SettingsStore, DamagedLinesArePassedOver)
{
    std::filesystem::create_directories(dir.file("Tavisol"));
    testutil::writeBytes(dir.file("Tavisol/NV_Tool.conf"),
                         "; comment\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tavisol\\NV_Tool]\n"
                         "\"Good\"=dword:0000000a\r\n"
                         "\"TooLong\"=dword:123456789\n"
                         "\"NotHex\"=dword:xyz\n"
                         "\"Open\"=\"no end\n"
                         "\"Trailing\"=\"a\" b\n"
                         "NoQuotes=1\n"
                         "\"\"=\"empty name\"\n"
                         "\xff\xfe garbage\n"
                         "@=\"default text\"\n"
                         "\"Last\"=\"ok\"");
    auto key = open(false);
    EXPECT_EQ(key->readInt("Good"), 10);
    for (const char* name : {"TooLong", "NotHex", "Open", "Trailing", "NoQuotes"}) {
        EXPECT_EQ(key->readInt(name), std::nullopt) << name;
        EXPECT_EQ(key->readText(name), std::nullopt) << name;
    }
    EXPECT_EQ(key->readText(""), "default text");
    EXPECT_EQ(key->readText("Last"), "ok");
}

TEST_F(SettingsStore, SavesFromTwoRunsAtOnceKeepBothRunsValues)
{
    // Each run stores a new value at every save; a save takes in what the other run stored
    // meanwhile, so no value of either run may be lost.
    constexpr int kSaves = 150;
    open()->commit();
    pid_t runs[2] = {};
    for (int r = 0; r < 2; ++r) {
        runs[r] = ::fork();
        ASSERT_GE(runs[r], 0);
        if (runs[r] == 0) {
            ::alarm(60);
            bool ok = true;
            for (int i = 1; i <= kSaves && ok; ++i) {
                auto key = registryCreateKey();
                ok = key->openKey("SOFTWARE\\Tavisol\\NV_Tool", true);
                key->writeInt(std::to_string(r) + "-" + std::to_string(i), i);
                ok = ok && key->commit();
            }
            ::_exit(ok ? 0 : 1);
        }
    }
    for (pid_t run : runs) {
        int status = 0;
        ASSERT_EQ(::waitpid(run, &status, 0), run);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    auto key = open(false);
    int lost = 0;
    for (int r = 0; r < 2; ++r)
        for (int i = 1; i <= kSaves; ++i)
            lost += key->readInt(std::to_string(r) + "-" + std::to_string(i)) != i;
    EXPECT_EQ(lost, 0);
    std::filesystem::remove(dir.file("Tavisol/NV_Tool.conf"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.file("Tavisol"))); // no lock file stays
}

TEST_F(SettingsStore, ARunStuckInItsSaveDelaysTheOthersButNeverHangsThem)
{
    // A run stopped half-way through a save (in a debugger, say) holds the folder: the next
    // run's start-up reads the settings, and its save stores them, after a short wait.
    {
        auto key = open();
        key->writeInt("Kept", 7);
        ASSERT_TRUE(key->commit());
    }
    const int folder = ::open(dir.file("Tavisol").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    ASSERT_EQ(::flock(folder, LOCK_EX), 0);
    const auto start = std::chrono::steady_clock::now();
    const pid_t run = ::fork();
    ASSERT_GE(run, 0);
    if (run == 0) {
        ::alarm(30);
        auto key = registryCreateKey();
        const bool read = key->openKey("SOFTWARE\\Tavisol\\NV_Tool", true) && key->readInt("Kept") == 7;
        key->writeInt("Later", 8);
        ::_exit(read && key->commit() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(run, &status, 0), run);
    ::close(folder);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(25));
    EXPECT_EQ(open(false)->readInt("Later"), 8);
}

} // namespace
