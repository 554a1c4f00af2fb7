#include "shell/frmprogress.h"

#include <QGuiApplication>
#include <QPointer>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <gtest/gtest.h>

namespace {

struct ProgressWindow : testing::Test {
    void TearDown() override { progressClose(); }
};

TEST_F(ProgressWindow, OpenedWithCaptionFillsInSteps)
{
    progressOpen(4, "トレース情報解析");
    ASSERT_NE(FormProgress, nullptr);
    TFormProgress* w = FormProgress;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("トレース情報解析"));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(w->ProgressBar1->minimum(), 0);
    EXPECT_EQ(w->ProgressBar1->maximum(), 4);
    EXPECT_EQ(w->ProgressBar1->value(), 0);
    EXPECT_TRUE(w->StatusBar1->currentMessage().isEmpty());

    for (int step = 1; step <= 4; ++step) {
        std::string text = "ビットマップ読込 " + std::to_string(step);
        progressStep(step, text);
        EXPECT_EQ(w->ProgressBar1->value(), step);
        EXPECT_EQ(w->StatusBar1->currentMessage(), QString::fromStdString(text));
    }
    progressClose();
    EXPECT_EQ(FormProgress, nullptr);
}

TEST_F(ProgressWindow, DesignLayoutCentredOnScreen)
{
    TFormProgress form;
    form.move(0, 0);
    form.show();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("処理中"));
    EXPECT_EQ(form.size(), QSize(346, 66));
    EXPECT_EQ(form.findChild<QProgressBar*>("ProgressBar1"), form.ProgressBar1);
    EXPECT_EQ(form.findChild<QStatusBar*>("StatusBar1"), form.StatusBar1);
    EXPECT_EQ(form.ProgressBar1->geometry(), QRect(24, 16, 305, 17));
    EXPECT_EQ(form.ProgressBar1->maximum(), 100);
    EXPECT_EQ(form.StatusBar1->geometry(), QRect(0, 45, 346, 21));
    EXPECT_EQ(form.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    EXPECT_EQ(form.font().pixelSize(), 12);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);

    QPoint centre = form.screen()->availableGeometry().center();
    QPoint mine = form.frameGeometry().center();
    EXPECT_LE((centre - mine).manhattanLength(), 2) << mine.x() << "," << mine.y();
}

TEST_F(ProgressWindow, OneWindowAtATime)
{
    // Without a window, steps and closing do nothing.
    progressStep(1, "x");
    progressClose();
    EXPECT_EQ(FormProgress, nullptr);

    progressOpen(4, "first");
    QPointer<TFormProgress> first = FormProgress;
    progressOpen(2, "second");
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(FormProgress, nullptr);
    EXPECT_EQ(FormProgress->windowTitle(), QStringLiteral("second"));
    EXPECT_EQ(FormProgress->ProgressBar1->maximum(), 2);
}

} // namespace
