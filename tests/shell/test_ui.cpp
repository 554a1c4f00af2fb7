#include "platform/message.h"
#include "platform/ui.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

struct ScriptedUi : testing::Test {
    void SetUp() override { ui::useScripted(); }
    void TearDown() override
    {
        ::unsetenv("NURIVO_UI_LOG");
        ::unsetenv("NURIVO_UI_ANSWERS");
        ui::useScripted();
    }
};

struct ConfirmCase {
    std::optional<ui::Answer> queued; // nullopt: nothing queued
    bool withInput;                   // an input reply queued instead
    bool withCancel;
    ui::Answer expected;
};

TEST_F(ScriptedUi, ConfirmationsAnswerFromQueueOrLikeEscape)
{
    using ui::Answer;
    const ConfirmCase cases[] = {
        {std::nullopt, false, false, Answer::No},
        {std::nullopt, false, true, Answer::Cancel},
        {Answer::Yes, false, false, Answer::Yes},
        {Answer::Cancel, false, false, Answer::No},
        {Answer::No, false, true, Answer::No},
        {Answer::Cancel, false, true, Answer::Cancel},
        {std::nullopt, true, false, Answer::No},
    };
    for (const ConfirmCase& c : cases) {
        ui::useScripted();
        if (c.queued)
            ui::scriptAnswer(*c.queued);
        if (c.withInput)
            ui::scriptInput("1");
        Answer got = c.withCancel ? ui::confirmYesNoCancel("入力した図形を保存しますか？")
                                  : ui::confirmYesNo("入力した図形を保存しますか？");
        EXPECT_EQ(got, c.expected);
        ASSERT_EQ(ui::recorded().size(), 1u);
        EXPECT_EQ(ui::recorded()[0].kind, c.withCancel ? "yesnocancel" : "yesno");
    }
}

TEST_F(ScriptedUi, InputQueryTakesTypedTextOrCancels)
{
    std::string value = "3.000";
    ui::scriptInput("12.5");
    EXPECT_TRUE(ui::inputQuery("距離入力(P-01)", "距離 (M):", value));
    EXPECT_EQ(value, "12.5");

    ui::scriptAnswer(ui::Answer::Yes);
    EXPECT_FALSE(ui::inputQuery("距離入力(P-02)", "距離 (M):", value));
    EXPECT_FALSE(ui::inputQuery("距離入力(P-03)", "距離 (M):", value));
    EXPECT_EQ(value, "12.5");

    ASSERT_EQ(ui::recorded().size(), 3u);
    EXPECT_EQ(ui::recorded()[0], (ui::Record{"input", "距離入力(P-01)", "距離 (M):", "ok", "12.5"}));
    EXPECT_EQ(ui::recorded()[2].answer, "cancel");
}

TEST_F(ScriptedUi, LogAndAnswersFromEnvironmentRoundTrip)
{
    testutil::TempDir dir;
    std::string log = dir.file("ui.log");
    ::setenv("NURIVO_UI_LOG", log.c_str(), 1);
    ::setenv("NURIVO_UI_ANSWERS", "yes;bogus;input:a;b\\c;cancel", 1);
    ui::useScripted();

    ui::installMessageSink();
    showMessage("ERR OPEN /tmp/a\tb\nc\\d");
    setMessageSink({});
    EXPECT_EQ(ui::confirmYesNoCancel("q"), ui::Answer::Yes);
    std::string value;
    EXPECT_TRUE(ui::inputQuery("c", "p", value));
    EXPECT_EQ(value, "a");
    // "b\c" is not an answer; the cancel after it is.
    EXPECT_EQ(ui::confirmYesNoCancel("r"), ui::Answer::Cancel);

    std::vector<ui::Record> read = ui::readLog(log);
    EXPECT_EQ(read, ui::recorded());
    ASSERT_EQ(read.size(), 4u);
    EXPECT_EQ(read[0].text, "ERR OPEN /tmp/a\tb\nc\\d");
    EXPECT_TRUE(ui::readLog(dir.file("missing.log")).empty());
}

} // namespace
