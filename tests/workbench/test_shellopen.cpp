// The shell's open of a document under the scripted backend: what it answers and reports.
#include "platform/shell.h"

#include "platform/ui.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(ShellOpen, AnswersFromTheFileAndRecordsEveryOpen)
{
    testutil::TempDir dir;
    testutil::writeBytes(dir.file("a b.pdf"), "%PDF");
    testutil::writeBytes(dir.file("-x"), "");
    ui::clearRecorded();
    struct Case {
        std::string path;
        bool noProgram;
        int code;
        std::string shown;
    } cases[] = {
        {dir.file("a b.pdf"), false, shellOpened, ""},
        {dir.file("-x"), false, shellOpened, ""},
        // Always a local file: a name that looks like a web address is looked for on disk.
        {"https://example.com/a.pdf", false, shellPathNotFound, "パスが見つかりませんでした。"},
        {dir.file("none.pdf"), false, shellFileNotFound, "ファイルが見つかりませんでした。"},
        {dir.file("no/such/a.pdf"), false, shellPathNotFound, "パスが見つかりませんでした。"},
        {dir.file("a b.pdf"), true, shellNoAssociation, "アプリケーションが関連付けられていません。"},
        {dir.file("none.pdf"), true, shellFileNotFound, "ファイルが見つかりませんでした。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        shellScriptNoProgram(c.noProgram);
        ui::clearRecorded();
        EXPECT_EQ(shellExecuteOpen(c.path), c.code);
        ui::clearRecorded();
        shellOpenDocument(c.path);
        std::vector<ui::Record> want{{"open", {}, c.path, {}, {}}};
        if (!c.shown.empty())
            want.push_back({"message", {}, c.shown, {}, {}});
        EXPECT_EQ(ui::recorded(), want);
    }
    shellScriptNoProgram(false);
}

TEST(ShellOpen, MessagesOfTheFailureCodes)
{
    const std::pair<int, const char*> table[] = {
        {0, "メモリまたはリソースが足りません。"},
        {2, "ファイルが見つかりませんでした。"},
        {3, "パスが見つかりませんでした。"},
        {11, ".EXEファイルが無効です"},
        {26, "共有違反が発生しました。"},
        {27, "ファイル名の関連付けが不完全、 または無効です。"},
        {28, "要求タイム アウト"},
        {29, "DDEトランザクションが失敗しました。"},
        {30, "DDEトランザクションを完了できませんでした。"},
        {31, "アプリケーションが関連付けられていません。"},
        {1, ""}, {12, ""}, {32, ""}, {33, ""}, {shellOpened, ""},
    };
    for (const auto& [code, text] : table)
        EXPECT_EQ(shellErrorText(code), text) << code;
}

} // namespace
