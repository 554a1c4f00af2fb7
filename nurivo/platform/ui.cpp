#include "ui.h"

#include "message.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTranslator>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>

namespace ui {
namespace {

struct Reply {
    Answer answer;
    bool isInput;
    std::string text;
};

struct State {
    bool scripted = false;
    std::deque<Reply> queue;
    std::vector<Record> records;
    std::string logPath;
};

const char* answerName(Answer a)
{
    switch (a) {
    case Answer::Yes: return "yes";
    case Answer::No: return "no";
    case Answer::Cancel: return "cancel";
    }
    return "cancel";
}

// A colour answer travels in the one queue as an input reply marked with this prefix, so the
// order of all answers stays the order they were queued in.
const std::string colorTag = "\x01color:";

void queueToken(State& s, const std::string& token)
{
    static const std::string inputTag = "input:";
    if (token == "yes")
        s.queue.push_back({Answer::Yes, false, {}});
    else if (token == "no")
        s.queue.push_back({Answer::No, false, {}});
    else if (token == "cancel")
        s.queue.push_back({Answer::Cancel, false, {}});
    else if (token.compare(0, inputTag.size(), inputTag) == 0)
        s.queue.push_back({Answer::Yes, true, token.substr(inputTag.size())});
    else if (token.compare(0, 6, "color:") == 0)
        s.queue.push_back({Answer::Yes, true, colorTag + token.substr(6)});
    else if (!token.empty())
        std::fprintf(stderr, "NURIVO_UI_ANSWERS: unknown answer \"%s\" ignored\n", token.c_str());
}

// The log file and the answers of the scripted backend, from the environment.
void scriptFromEnvironment(State& s)
{
    s.scripted = true;
    s.queue.clear();
    s.records.clear();
    const char* log = std::getenv("NURIVO_UI_LOG");
    s.logPath = log ? log : "";
    if (const char* answers = std::getenv("NURIVO_UI_ANSWERS")) {
        std::string all = answers;
        size_t start = 0;
        while (start <= all.size()) {
            size_t end = all.find(';', start);
            if (end == std::string::npos)
                end = all.size();
            queueToken(s, all.substr(start, end - start));
            start = end + 1;
        }
    }
}

State& state()
{
    static State s = [] {
        State init;
        const char* mode = std::getenv("NURIVO_UI");
        if (mode && std::string(mode) == "scripted")
            scriptFromEnvironment(init);
        return init;
    }();
    return s;
}

// Log fields are tab-separated, so tabs, line breaks and backslashes inside them are escaped.
std::string escapeField(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out;
}

std::vector<std::string> splitEscapedLine(const std::string& line)
{
    std::vector<std::string> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            char n = line[++i];
            fields.back() += n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

void record(Record r)
{
    State& s = state();
    if (!s.logPath.empty()) {
        std::ofstream log(s.logPath, std::ios::binary | std::ios::app);
        log << escapeField(r.kind) << '\t' << escapeField(r.caption) << '\t' << escapeField(r.text)
            << '\t' << escapeField(r.answer) << '\t' << escapeField(r.value) << '\n';
    }
    s.records.push_back(std::move(r));
}

// The next queued reply, if any.
bool nextReply(Reply& out)
{
    State& s = state();
    if (s.queue.empty())
        return false;
    out = std::move(s.queue.front());
    s.queue.pop_front();
    return true;
}

QString toQt(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Dialogs need a running QApplication; without one (a tool, an early failure) the text goes
// to stderr and questions get their Escape answer rather than crashing.
bool haveGui()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// Dialogs belong to the window the operator works in, so they stay above it even when that
// window is kept on top and has no focus (the progress window of a running step).
QWidget* dialogParent()
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !qobject_cast<QMessageBox*>(w) && !qobject_cast<QInputDialog*>(w))
            return w;
    return nullptr;
}

Answer askQt(const std::string& text, bool withCancel)
{
    Answer escape = withCancel ? Answer::Cancel : Answer::No;
    if (!haveGui()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return escape;
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), toQt(text), QMessageBox::NoButton,
                    dialogParent());
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    QPushButton* cancel =
        withCancel ? box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole) : nullptr;
    box.setDefaultButton(yes);
    box.setEscapeButton(withCancel ? cancel : no);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == no)
        return Answer::No;
    return escape;
}

Answer confirm(const std::string& text, bool withCancel)
{
    if (!isScripted())
        return askQt(text, withCancel);
    Answer answer = withCancel ? Answer::Cancel : Answer::No;
    Reply reply;
    if (nextReply(reply) && !reply.isInput)
        answer = reply.answer;
    if (!withCancel && answer == Answer::Cancel)
        answer = Answer::No;
    record({withCancel ? "yesnocancel" : "yesno", {}, text, answerName(answer), {}});
    return answer;
}

} // namespace

void showMessage(const std::string& text)
{
    if (isScripted()) {
        record({"message", {}, text, {}, {}});
        return;
    }
    if (!haveGui()) {
        std::fprintf(stderr, "%s\n", text.c_str());
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), toQt(text),
                    QMessageBox::Ok, dialogParent());
    box.exec();
}

Answer confirmYesNo(const std::string& text)
{
    return confirm(text, false);
}

Answer confirmYesNoCancel(const std::string& text)
{
    return confirm(text, true);
}

bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value)
{
    if (isScripted()) {
        Reply reply;
        bool ok = nextReply(reply) && reply.isInput && reply.text.compare(0, colorTag.size(), colorTag) != 0;
        if (ok)
            value = reply.text;
        record({"input", caption, prompt, ok ? "ok" : "cancel", value});
        return ok;
    }
    if (!haveGui())
        return false;
    QInputDialog dialog(dialogParent());
    dialog.setWindowTitle(toQt(caption));
    dialog.setLabelText(toQt(prompt));
    dialog.setTextValue(toQt(value));
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue().toStdString();
    return true;
}

void installMessageSink()
{
    setMessageSink([](const std::string& text) { ui::showMessage(text); });
}

bool loadQtTranslations()
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    // Japanese whatever the machine's locale: the operator's texts are all Japanese.
    auto* translator = new QTranslator(app);
    if (!translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

void useScripted()
{
    scriptFromEnvironment(state());
}

bool isScripted()
{
    return state().scripted;
}

void scriptAnswer(Answer answer)
{
    state().queue.push_back({answer, false, {}});
}

void scriptInput(const std::string& text)
{
    state().queue.push_back({Answer::Yes, true, text});
}

const std::vector<Record>& recorded()
{
    return state().records;
}

void clearRecorded()
{
    state().records.clear();
}

// ---- Printing ----

namespace {

// What names the printer to the operator: its output file when it prints to one.
std::string printerTarget(const QPrinter& printer)
{
    const QString file = printer.outputFileName();
    return (file.isEmpty() ? printer.printerName() : file).toStdString();
}

bool scriptedPrintDialog(const char* kind, const QPrinter& printer)
{
    Reply reply;
    const bool ok = nextReply(reply) && !reply.isInput && reply.answer == Answer::Yes;
    record({kind, {}, printerTarget(printer), ok ? "ok" : "cancel", {}});
    return ok;
}

// Qt's page set-up lists standard sizes only and shows (and on OK gives the printer) the first
// of them for any other: a size of the printer's own is entered into the dialog as its custom
// size instead. Nothing happens where the dialog has no such page set-up.
void showPrinterPaper(QWidget& dialog, const QPrinter& printer)
{
    const QPageLayout layout = printer.pageLayout();
    if (layout.pageSize().id() != QPageSize::Custom)
        return; // a size of the list shows as it is
    auto* sizes = dialog.findChild<QComboBox*>(QStringLiteral("pageSizeCombo"));
    auto* width = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("pageWidth"));
    auto* height = dialog.findChild<QDoubleSpinBox*>(QStringLiteral("pageHeight"));
    auto* units = dialog.findChild<QComboBox*>(QStringLiteral("unitCombo"));
    if (!sizes || !width || !height)
        return;
    // The custom entry is the one that carries no size.
    int custom = -1;
    for (int i = 0; i < sizes->count() && custom < 0; ++i)
        if (!sizes->itemData(i).isValid())
            custom = i;
    if (custom < 0)
        return;
    QPageLayout::Unit unit = QPageLayout::Millimeter;
    if (units && units->currentData().isValid())
        unit = qvariant_cast<QPageLayout::Unit>(units->currentData());
    // The edits hold the paper as it lies, landscape or portrait.
    const QRectF full = layout.fullRect(unit);
    sizes->setCurrentIndex(custom);
    width->setValue(full.width());
    height->setValue(full.height());
}

// After a confirmed dialog, the paper of the printer's own that it opened on (`before`) comes
// back where the operator could not choose another (`untouched`), or where the dialog gave
// back a size within a millimetre of it: its page set-up takes a custom size for the nearest
// standard one (840 x 1188 mm for A0's 841 x 1189).
void keepOwnPaper(QPrinter& printer, const QPageLayout& before, bool untouched)
{
    if (before.pageSize().id() != QPageSize::Custom)
        return;
    const QSizeF was = before.pageSize().size(QPageSize::Millimeter);
    const QSizeF now = printer.pageLayout().pageSize().size(QPageSize::Millimeter);
    const bool near =
        std::abs(was.width() - now.width()) <= 1.0 && std::abs(was.height() - now.height()) <= 1.0;
    if (untouched || near) {
        QPageLayout kept = printer.pageLayout();
        kept.setPageSize(before.pageSize(), before.minimumMargins());
        if (untouched)
            kept.setOrientation(before.orientation());
        printer.setPageLayout(kept);
    }
}

// The print dialog builds its page set-up only when the operator opens its properties, or
// else on OK, from the printer: the paper is entered when the properties first show, and on
// an OK without them the printer keeps its own paper.
class PrintPaperKeeper : public QObject {
public:
    PrintPaperKeeper(QDialog& dialog, QPrinter& printer) : dialog_(dialog), printer_(printer) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (!shown_ && e->type() == QEvent::Show) {
            auto* w = qobject_cast<QDialog*>(o);
            if (w && w != &dialog_ && within(w)) {
                shown_ = true;
                showPrinterPaper(*w, printer_);
            }
        }
        return false;
    }
    bool shown() const { return shown_; }

private:
    // The properties are a window of their own inside the print dialog.
    bool within(const QObject* o) const
    {
        for (; o; o = o->parent())
            if (o == &dialog_)
                return true;
        return false;
    }

    QDialog& dialog_;
    QPrinter& printer_;
    bool shown_ = false;
};
} // namespace

bool printDialog(QPrinter& printer)
{
    if (isScripted())
        return scriptedPrintDialog("print", printer);
    if (!haveGui())
        return false;
    QPrintDialog dialog(&printer, dialogParent());
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    const QPageLayout paper = printer.pageLayout();
    PrintPaperKeeper keeper(dialog, printer);
    qApp->installEventFilter(&keeper);
    const bool ok = dialog.exec() == QDialog::Accepted;
    qApp->removeEventFilter(&keeper);
    if (ok)
        keepOwnPaper(printer, paper, !keeper.shown());
    return ok;
}

bool printerSetupDialog(QPrinter& printer)
{
    if (isScripted())
        return scriptedPrintDialog("printsetup", printer);
    if (!haveGui())
        return false;
    QPageSetupDialog dialog(&printer, dialogParent());
    const QPageLayout paper = printer.pageLayout();
    showPrinterPaper(dialog, printer);
    const bool ok = dialog.exec() == QDialog::Accepted;
    if (ok)
        keepOwnPaper(printer, paper, false);
    return ok;
}

std::vector<Record> readLog(const std::string& path)
{
    std::vector<Record> out;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f = splitEscapedLine(line);
        f.resize(5);
        out.push_back({f[0], f[1], f[2], f[3], f[4]});
    }
    return out;
}

// Colour query -------------------------------------------------------------------------------

namespace {

// The colour as the scripted answers and records spell it: "%06X" of 0x00BBGGRR.
std::string colorHex(int color)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(color) & 0xFFFFFFu);
    return hex;
}

} // namespace

bool colorQuery(int& color)
{
    if (isScripted()) {
        Reply reply;
        bool ok = nextReply(reply) && reply.isInput && reply.text.compare(0, colorTag.size(), colorTag) == 0;
        if (ok)
            color = static_cast<int>(std::strtoul(reply.text.c_str() + colorTag.size(), nullptr, 16) & 0xFFFFFF);
        record({"color", {}, {}, ok ? "ok" : "cancel", colorHex(color)});
        return ok;
    }
    if (!haveGui())
        return false;
    // 0x00BBGGRR <-> QColor
    QColor start(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
    QColorDialog dialog(start, dialogParent());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    QColor c = dialog.currentColor();
    color = c.red() | (c.green() << 8) | (c.blue() << 16);
    return true;
}

void scriptColor(int color)
{
    state().queue.push_back({Answer::Yes, true, colorTag + colorHex(color)});
}

void recordScripted(const Record& r)
{
    if (isScripted())
        record(r);
}

} // namespace ui
