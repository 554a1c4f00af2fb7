#include "ui.h"

#include "message.h"

#include <QApplication>
#include <QColorDialog>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTranslator>

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

} // namespace

bool printDialog(QPrinter& printer)
{
    if (isScripted())
        return scriptedPrintDialog("print", printer);
    if (!haveGui())
        return false;
    QPrintDialog dialog(&printer, dialogParent());
    dialog.setOptions(QAbstractPrintDialog::PrintToFile);
    return dialog.exec() == QDialog::Accepted;
}

bool printerSetupDialog(QPrinter& printer)
{
    if (isScripted())
        return scriptedPrintDialog("printsetup", printer);
    if (!haveGui())
        return false;
    QPageSetupDialog dialog(&printer, dialogParent());
    return dialog.exec() == QDialog::Accepted;
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
