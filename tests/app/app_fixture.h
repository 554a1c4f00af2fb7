// A start-up environment for the program's tests: a temporary home, configuration folder,
// start folder and data folders; fresh start-up values; the scripted dialogs emptied; the
// entry table back to the real functions afterwards.
#pragma once
#include "formtest.h"
#include "model/laytbl.h"
#include "model/qrv.h"
#include "model/startup.h"
#include "platform/codec.h"
#include "platform/ui.h"
#include "shell/entries.h"
#include "testutil.h"

#include <QImage>

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCwd_ = std::filesystem::current_path();
        home = tmp.file("home");
        start = tmp.file("start");
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(start);
        std::filesystem::create_directories(tmp.file("config"));
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", tmp.file("config").c_str(), 1);
        std::filesystem::current_path(start);
        startReset();
        layTblCreate(1);
        qrvCreateTables(0);
        ui::clearRecorded();
        shellEntriesReset();
    }
    void TearDown() override
    {
        shellEntriesReset();
        std::filesystem::current_path(savedCwd_);
    }

    std::string settingsFile() const { return tmp.file("config") + "/Tavisol/NV_Tool.conf"; }

    std::vector<std::string> messages() const { return formtest::messages(); }

    static void writeText(const std::string& path, const std::string& utf8)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        testutil::writeText(path, utf8);
    }

    // A small one-bit raster with the resolution given (0: none stored).
    static void writeRaster(const std::string& path, int width = 40, int height = 30, int dpi = 300)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        QImage image(width, height, QImage::Format_Mono);
        image.fill(1);
        if (dpi > 0) {
            image.setDotsPerMeterX(qRound(dpi / 0.0254));
            image.setDotsPerMeterY(qRound(dpi / 0.0254));
        }
        ASSERT_TRUE(image.save(QString::fromStdString(path), "TIFF"));
    }


    testutil::TempDir tmp;
    std::string home;
    std::string start;

private:
    static std::string utf8cp(const std::string& utf8) { return utf8ToCp932(utf8); }
    std::filesystem::path savedCwd_;
};
