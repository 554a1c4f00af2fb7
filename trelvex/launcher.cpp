#include "launcher.h"

#include "platform/strscan.h"
#include "platform/ui.h"
#include "quillan.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QProgressBar>
#include <QTimer>

#include <exception>

const char* const msgLibraryMissing = "トレルダ変換用のライブラリがありません";
const char* const msgLibraryBroken = "トレルダ変換用のライブラリが異常です";
const char* const msgConversionFailed = "ラスタデータのがモノクロ２値かどうか確認してください";
const char* const msgArgumentsMissing = "トレルダ変換のファイル名が指定されていません";

namespace {

using SetCallBackFn = int(QUILLAN_CALL*)(RV_CallBack, RV_CallBack, RV_CallBack);
using ConvertFn = int(QUILLAN_CALL*)(const char*, int, const char*, double, double);

// Tolerance of the simplification in pixels, and the length divisor that keeps the minimum
// polyline length at 1 pixel.
constexpr double traceTolerance = 1.4143;
constexpr double traceLengthDivisor = -1.0;

std::string formatMessage(const char* format, va_list args)
{
    return format ? strVPrintf(format, args) : std::string();
}

// The library beside the program first, so an installed copy elsewhere cannot shadow it,
// then the system's search.
bool loadQuillan(QLibrary& lib)
{
    lib.setFileName(QCoreApplication::applicationDirPath() + QStringLiteral("/") +
                    QStringLiteral(QUILLAN_LIBRARY_NAME));
    if (lib.load())
        return true;
    lib.setFileName(QStringLiteral(QUILLAN_LIBRARY_NAME));
    return lib.load();
}

} // namespace

int progressParseStep(std::string_view message)
{
    size_t i = message.find_first_not_of(" \t");
    if (i == std::string_view::npos || message[i] < '0' || message[i] > '9')
        return 0;
    return strToLong(message.substr(i));
}

std::string progressStatusText(const std::string& message, int step)
{
    size_t from = step == 5 ? 5 : 3;
    return from < message.size() ? message.substr(from) : std::string();
}

int progressCallBack(const char* format, va_list args)
{
    std::string message = formatMessage(format, args);
    int step = progressParseStep(message);
    if (FormProgress)
        FormProgress->showStep(step, QString::fromStdString(progressStatusText(message, step)));
    return 1;
}

int messageCallBack(const char* format, va_list args)
{
    ui::showMessage(formatMessage(format, args));
    return 1;
}

TFormLauncher::TFormLauncher(std::vector<std::string> args, QWidget* owner)
    : TFormProgress(owner), args_(std::move(args))
{
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TFormLauncher::Timer1Timer);
    FormCreate();
}

void TFormLauncher::FormCreate()
{
    setWindowTitle(QStringLiteral("トレース前処理"));
    Timer1->start();
}

void TFormLauncher::Timer1Timer()
{
    Timer1->stop();
    // Nothing may escape into the event loop; whatever goes wrong is shown and ends the run.
    try {
        runConversion();
    } catch (const std::exception& e) {
        ui::showMessage(e.what());
    }
    close();
}

void TFormLauncher::runConversion()
{
    // The two paths are whole arguments, so they may contain blanks.
    if (args_.size() < 2) {
        ui::showMessage(msgArgumentsMissing);
        return;
    }
    const std::string& source = args_[0];
    const std::string& output = args_[1];
    ProgressBar1->setMaximum(6);

    QLibrary lib;
    if (!loadQuillan(lib)) {
        ui::showMessage(msgLibraryMissing);
        return;
    }
    auto setCallBack = reinterpret_cast<SetCallBackFn>(lib.resolve("RV_SetCallBack"));
    auto convert = reinterpret_cast<ConvertFn>(lib.resolve("quillanourCnv"));
    if (!setCallBack || !convert) {
        ui::showMessage(msgLibraryBroken);
        return;
    }
    setCallBack(progressCallBack, messageCallBack, progressCallBack);
    if (convert(source.c_str(), 0, output.c_str(), traceTolerance, traceLengthDivisor) != 0)
        lib.unload();
    else
        ui::showMessage(msgConversionFailed);
}
