#include "frmprogress.h"

#include <QFont>
#include <QGuiApplication>
#include <QLibrary>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>

#include <memory>

TFormProgress* FormProgress = nullptr;

namespace {

// Client area of the form; the window frame around it comes from the window manager.
constexpr int clientWidth = 346;
constexpr int clientHeight = 66;
constexpr int statusHeight = 21;

const QString faceName = QStringLiteral("ＭＳ Ｐゴシック");

// The form's own window while progressOpen has one open; FormProgress observes it.
std::unique_ptr<TFormProgress>& openWindow()
{
    static std::unique_ptr<TFormProgress> window;
    return window;
}

// Sends what has been painted to the X server at once. Qt's flush of a window does not always
// send its requests (a window in the window manager's resize handshake keeps them back until
// the event loop runs), and the step that reports progress keeps the loop from running. The
// platform plugin has libxcb loaded already; xcb_flush is taken from it so that the programs
// link no X library of their own.
void flushWindowSystem()
{
#if QT_CONFIG(xcb)
    using FlushFn = int (*)(xcb_connection_t*);
    static const FlushFn flush = [] {
        QLibrary xcb(QStringLiteral("xcb"), 1);
        return reinterpret_cast<FlushFn>(xcb.resolve("xcb_flush"));
    }();
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        if (xcb_connection_t* connection = x11->connection(); connection && flush)
            flush(connection);
    }
#endif
}

} // namespace

TFormProgress::TFormProgress(QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                         Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("FormProgress"));
    setWindowTitle(QStringLiteral("処理中"));

    // The Windows face has no Linux twin; its proportional IPA counterpart stands in.
    if (QFont::substitutes(faceName).isEmpty())
        QFont::insertSubstitution(faceName, QStringLiteral("IPAPGothic"));
    QFont face(faceName);
    face.setPixelSize(12);
    setFont(face);

    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    setAutoFillBackground(true);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setGeometry(24, 16, 305, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);

    resize(clientWidth, clientHeight);
    StatusBar1->setGeometry(0, clientHeight - statusHeight, clientWidth, statusHeight);
}

TFormProgress::~TFormProgress() = default;

void TFormProgress::showStep(int position, const QString& text)
{
    ProgressBar1->setValue(position);
    StatusBar1->showMessage(text);
    ProgressBar1->repaint();
    StatusBar1->repaint();
    flushWindowSystem();
}

void TFormProgress::showEvent(QShowEvent* event)
{
    // Centred on the screen the first time it shows, wherever it was placed before.
    if (!centred_) {
        centred_ = true;
        if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
            QRect r = frameGeometry();
            r.moveCenter(s->availableGeometry().center());
            move(r.topLeft());
        }
    }
    QWidget::showEvent(event);
}

void TFormProgress::resizeEvent(QResizeEvent* event)
{
    // The status bar runs along the bottom edge.
    StatusBar1->setGeometry(0, height() - statusHeight, width(), statusHeight);
    QWidget::resizeEvent(event);
}

void progressOpen(int maximum, const std::string& caption)
{
    progressClose();
    auto& window = openWindow();
    window = std::make_unique<TFormProgress>();
    FormProgress = window.get();
    window->setWindowTitle(QString::fromStdString(caption));
    window->ProgressBar1->setMaximum(maximum);
    window->ProgressBar1->setValue(0);
    window->StatusBar1->clearMessage();
    window->show();
}

void progressStep(int position, const std::string& text)
{
    if (TFormProgress* window = openWindow().get())
        window->showStep(position, QString::fromStdString(text));
}

void progressClose()
{
    auto& window = openWindow();
    if (!window)
        return;
    window->hide();
    if (FormProgress == window.get())
        FormProgress = nullptr;
    window.reset();
}
