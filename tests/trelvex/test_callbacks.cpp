#include "launcher.h"
#include "platform/ui.h"

#include <QImage>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Calls a callback the way the vectoriser does: a format and its argument list.
int sendTo(int (*callback)(const char*, va_list), const char* format, ...)
{
    va_list args;
    va_start(args, format);
    int result = callback(format, args);
    va_end(args);
    return result;
}

template <class... T>
int sendProgress(const char* format, T... args)
{
    return sendTo(progressCallBack, format, args...);
}

struct Callbacks : testing::Test {
    void SetUp() override
    {
        ui::useScripted();
        form.ProgressBar1->setMaximum(6);
        FormProgress = &form;
    }
    void TearDown() override { FormProgress = nullptr; }
    TFormProgress form;
};

struct StepCase {
    std::function<int()> send;
    int step;
    const char* status;
};

// The six messages as the vectoriser formats them.
TEST_F(Callbacks, ProgressMovesBarAndShowsTextAfterNumber)
{
    const StepCase cases[] = {
        {[] { return sendProgress("1 - 変換開始 %s ( %lu bytes )", "/tmp/a b.TMP", 1234ul); }, 1,
         " 変換開始 /tmp/a b.TMP ( 1234 bytes )"},
        {[] { return sendProgress("2 %3d  細線化処理 (%d - %.0lf秒)", 12, 345, 2.0); }, 2,
         "12  細線化処理 (345 - 2秒)"},
        {[] { return sendProgress("2 %3d  細線化処理 (%d - %.0lf秒)", 1, -1, 0.0); }, 2,
         " 1  細線化処理 (-1 - 0秒)"},
        {[] { return sendProgress("3 -  細線化終了処理"); }, 3, "  細線化終了処理"},
        {[] { return sendProgress("4 -  線分化前処理(%d node points)", 17); }, 4,
         "  線分化前処理(17 node points)"},
        {[] { return sendProgress("5 -  線分化開始. "); }, 5, "線分化開始. "},
        {[] { return sendProgress("6 -  終了処理 (%d polylines)", 9); }, 6, "  終了処理 (9 polylines)"},
    };
    for (const StepCase& c : cases) {
        EXPECT_EQ(c.send(), 1);
        EXPECT_EQ(form.ProgressBar1->value(), c.step) << c.status;
        EXPECT_EQ(form.StatusBar1->currentMessage(), QString::fromUtf8(c.status));
    }
    EXPECT_TRUE(ui::recorded().empty());
}

// The conversion keeps the event loop from running: what the window shows after each
// callback must already be painted, not waiting for an update to be processed later.
TEST_F(Callbacks, EachStepIsPaintedBeforeTheCallbackReturns)
{
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto shown = [&](QWidget* w) {
        const QRect r(w->mapTo(&form, QPoint(0, 0)), w->size());
        return form.screen()->grabWindow(form.winId(), r.x(), r.y(), r.width(), r.height()).toImage();
    };
    auto fresh = [](QWidget* w) { return w->grab().toImage(); };
    const QImage emptyBar = shown(form.ProgressBar1);
    const QImage emptyStatus = shown(form.StatusBar1);
    const StepCase cases[] = {
        {[] { return sendProgress("1 - 変換開始 %s ( %lu bytes )", "/tmp/a.TMP", 99ul); }, 1, ""},
        {[] { return sendProgress("2 %3d  細線化処理 (%d - %.0lf秒)", 3, 345, 0.0); }, 2, ""},
        {[] { return sendProgress("6 -  終了処理 (%d polylines)", 9); }, 6, ""},
    };
    for (const StepCase& c : cases) {
        SCOPED_TRACE(c.step);
        c.send();
        // No event is processed between the callback and the look at the window.
        const QImage bar = shown(form.ProgressBar1);
        const QImage status = shown(form.StatusBar1);
        EXPECT_NE(bar, emptyBar);
        EXPECT_NE(status, emptyStatus);
        EXPECT_EQ(bar.convertToFormat(QImage::Format_RGB32), fresh(form.ProgressBar1).convertToFormat(QImage::Format_RGB32));
        EXPECT_EQ(status.convertToFormat(QImage::Format_RGB32), fresh(form.StatusBar1).convertToFormat(QImage::Format_RGB32));
    }
}

TEST_F(Callbacks, ProgressWithoutWindowOrFormatDoesNothing)
{
    FormProgress = nullptr;
    EXPECT_EQ(sendProgress("6 -  終了処理 (%d polylines)", 9), 1);
    FormProgress = &form;
    EXPECT_EQ(sendProgress(nullptr), 1);
    EXPECT_EQ(form.ProgressBar1->value(), 0);
    EXPECT_TRUE(form.StatusBar1->currentMessage().isEmpty());
}

TEST_F(Callbacks, MessageIsShownInBox)
{
    EXPECT_EQ(sendTo(messageCallBack, "E %d %s", 7, "ファイル"), 1);
    ASSERT_EQ(ui::recorded().size(), 1u);
    EXPECT_EQ(ui::recorded()[0].kind, "message");
    EXPECT_EQ(ui::recorded()[0].text, "E 7 ファイル");
}

TEST(ProgressParse, StepAndStatusText)
{
    const std::pair<const char*, int> steps[] = {
        {"6 -  終了処理", 6}, {"  12abc", 12}, {"\t3 x", 3}, {"", 0},
        {"   ", 0}, {"x1", 0}, {"-3", 0}, {"2   1  細線化処理", 2},
    };
    for (auto [text, step] : steps)
        EXPECT_EQ(progressParseStep(text), step) << text;

    // Texts shorter than the offset give an empty status, never a read past the end.
    EXPECT_EQ(progressStatusText("5 -  ", 5), "");
    EXPECT_EQ(progressStatusText("6 -", 6), "");
    EXPECT_EQ(progressStatusText("6 -x", 6), "x");
}

TEST(LauncherForm, CreatedWithCaptionAndOneShotTimer)
{
    ui::useScripted();
    TFormLauncher form({});
    EXPECT_EQ(form.windowTitle(), QStringLiteral("トレース前処理"));
    EXPECT_TRUE(form.Timer1->isActive());
    EXPECT_EQ(form.Timer1->interval(), 1000);
    EXPECT_EQ(form.ProgressBar1->maximum(), 100);
    EXPECT_EQ(form.ProgressBar1->value(), 0);

    // Without both paths the tick shows one message and ends without touching a library.
    form.show();
    form.Timer1Timer();
    EXPECT_FALSE(form.Timer1->isActive());
    EXPECT_FALSE(form.isVisible());
    ASSERT_EQ(ui::recorded().size(), 1u);
    EXPECT_EQ(ui::recorded()[0].text, msgArgumentsMissing);
}

} // namespace
