#include "shell.h"

#include "ui.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QUrl>

#include <cstdlib>

namespace {

bool& scriptedNoProgram()
{
    static bool on = [] {
        const char* env = std::getenv("NURIVO_SHELL_NO_PROGRAM");
        return env && std::string(env) == "1";
    }();
    return on;
}

QString toQt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The missing folder is told apart from the missing file, as the shell call did.
int existenceCode(const QFileInfo& file)
{
    if (!QFileInfo(file.absolutePath()).isDir())
        return shellPathNotFound;
    if (!file.exists())
        return shellFileNotFound;
    return 0;
}

// Asks the desktop's association database for the file's type. False only when it answers
// that no program is registered; a desktop without the query tool leaves it to the open.
bool hasAssociatedProgram(const QFileInfo& file)
{
    if (file.isDir())
        return true;
    const QString mime = QMimeDatabase().mimeTypeForFile(file).name();
    QProcess query;
    query.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), mime});
    if (!query.waitForStarted(3000))
        return true;
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return true;
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

int shellExecuteOpen(const std::string& path)
{
    // Always a local file's URL, so a name that looks like a URL or an option starts nothing
    // but the document's own program.
    const QFileInfo file(QFileInfo(toQt(path)).absoluteFilePath());
    if (ui::isScripted()) {
        ui::recordScripted({"open", {}, path, {}, {}});
        if (int code = existenceCode(file))
            return code;
        return scriptedNoProgram() ? shellNoAssociation : shellOpened;
    }
    if (int code = existenceCode(file))
        return code;
    if (!hasAssociatedProgram(file))
        return shellNoAssociation;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file.absoluteFilePath())))
        return shellNoAssociation;
    return shellOpened;
}

std::string shellErrorText(int code)
{
    switch (code) {
    case 0: return "メモリまたはリソースが足りません。";
    case 2: return "ファイルが見つかりませんでした。";
    case 3: return "パスが見つかりませんでした。";
    case 11: return ".EXEファイルが無効です";
    case 26: return "共有違反が発生しました。";
    case 27: return "ファイル名の関連付けが不完全、 または無効です。";
    case 28: return "要求タイム アウト";
    case 29: return "DDEトランザクションが失敗しました。";
    case 30: return "DDEトランザクションを完了できませんでした。";
    case 31: return "アプリケーションが関連付けられていません。";
    default: return {};
    }
}

void shellOpenDocument(const std::string& path)
{
    const std::string text = shellErrorText(shellExecuteOpen(path));
    if (!text.empty())
        ui::showMessage(text);
}

void shellScriptNoProgram(bool on)
{
    scriptedNoProgram() = on;
}
