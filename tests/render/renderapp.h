// What the rendering tests share: one application for the whole test program, and a white
// 32-bit image to draw on.
#pragma once
#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <memory>

namespace rendertest {

// The application lives from before the first test to after the last, and is gone before the
// program's exit handlers run.
class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override { app = std::make_unique<QApplication>(argc, argv); }
    void TearDown() override { app.reset(); }
    std::unique_ptr<QApplication> app;

private:
    int argc = 1;
    char name[12] = "render_test";
    char* argv[2] = {name, nullptr};
};

inline AppEnvironment* const appEnvironment =
    static_cast<AppEnvironment*>(::testing::AddGlobalTestEnvironment(new AppEnvironment));

inline QApplication& app() { return *appEnvironment->app; }

inline QImage whiteImage(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

} // namespace rendertest
