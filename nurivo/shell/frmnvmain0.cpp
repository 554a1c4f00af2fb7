#include "shell/frmnvmain0.h"

#include "model/kxtbl.h"
#include "model/startup.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "shell/entries.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QFont>
#include <QGuiApplication>
#include <QLabel>
#include <QPalette>
#include <QScreen>
#include <QTimer>

#include <exception>

TFrm_NVMain0* Frm_NVMain0 = nullptr;

void startSetAppTitle()
{
    // The application's name, not its display name: X11 appends a display name that is set
    // to every window's title ("確認 — ノアベル"), while the name alone stands in for it
    // where Qt asks for one (the message boxes' title, the window class).
    QCoreApplication::setApplicationName(QStringLiteral("ノアベル"));
}

TFrm_NVMain0::TFrm_NVMain0(QWidget* parent) : QWidget(parent)
{
    setObjectName("Frm_NVMain0");
    setWindowTitle("ベルノア起動");
    setFixedSize(432, 140);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    StaticText1 = new QLabel("ベルノアを起動します。", this);
    StaticText1->setObjectName("StaticText1");
    StaticText1->setGeometry(52, 40, 227, 25);
    QFont font = StaticText1->font();
    font.setPixelSize(21);
    font.setBold(true);
    StaticText1->setFont(font);
    QPalette palette = StaticText1->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    StaticText1->setPalette(palette);

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TFrm_NVMain0::Timer1Timer);

    FormCreate();
}

void TFrm_NVMain0::FormCreate()
{
    startSetFolders(QCoreApplication::applicationDirPath().toStdString());
    cfgLoad(registryCreateKey);
    std::string defFolder;
    if (!cmdLine.empty())
        defFolder = startParseFields(cmdArgs);
    aplSetKind(cmdAplKind);
    // Read once the kind is known, so its own definition file names the application.
    cfgLoadDataDir(registryCreateKey, aplGetName());
    startBuildLayerSet(cmdLine.empty() || cmdAplKind == akColouring, defFolder);
}

void TFrm_NVMain0::FormActivate()
{
    if (firstActivation != 1 || rejecting_)
        return;
    if (aplGetKind() == akColouring) {
        setWindowTitle(QString::fromStdString(aplGetName() + "起動"));
        StaticText1->setText(QString::fromStdString(aplGetName() + "を起動します。"));
    }
    if (!aplIsKnownKind(aplGetKind())) {
        rejecting_ = true;
        ui::showMessage("APL:未定義アプリです。");
        close(); // the settings are not written back
        return;
    }
    firstActivation = 0;
    Timer1->start();
}

void TFrm_NVMain0::Timer1Timer()
{
    Timer1->stop();
    hide();
    // Whatever happens on the road, the settings are saved and the program ends: a hidden
    // start-up form would otherwise leave a process with no window.
    try {
        ShellEntries& entries = shellEntries();
        if (aplGetKind() == akColouring)
            entries.frmNVMainShowModal();
        else
            entries.startOpenRaster(cmdDirectPrint, cmdOpenMode);
    } catch (const std::exception& e) {
        ui::showMessage(e.what());
    }
    cfgSave(registryCreateKey);
    close();
}

bool TFrm_NVMain0::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

void TFrm_NVMain0::showEvent(QShowEvent* e)
{
    QWidget::showEvent(e);
    // Without a window manager no activation may ever come: run it once the show is done.
    QTimer::singleShot(0, this, &TFrm_NVMain0::FormActivate);
}

void TFrm_NVMain0::closeEvent(QCloseEvent* e)
{
    QWidget::closeEvent(e);
    if (e->isAccepted())
        emit formClosed();
}
