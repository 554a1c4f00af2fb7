// Message boxes, confirmations and input queries for the operator.
//
// Two backends: Qt dialogs for the running programs, and a scripted one for tests that records
// every call and answers from a queue, so no dialog ever waits for a human. The backend is
// chosen once, at the first call, from the environment:
//   NURIVO_UI=scripted          use the scripted backend
//   NURIVO_UI_ANSWERS=a;b;...   its answers, in order: "yes", "no", "cancel", "input:TEXT"
//   NURIVO_UI_LOG=path          append every recorded call to this file, one line each
// Tests inside one process can switch with useScripted() instead.
#pragma once
#include <string>
#include <vector>

class QPrinter;

namespace ui {

enum class Answer { Yes, No, Cancel };

// A box with the text and an OK button, titled with the application's name.
void showMessage(const std::string& text);

// Confirmation with title "確認" and the buttons "はい(&Y)" and "いいえ(&N)"; returns Yes or No
// (closing the box or pressing Escape answers No).
Answer confirmYesNo(const std::string& text);

// The same with "キャンセル" as well; closing the box or Escape answers Cancel.
Answer confirmYesNoCancel(const std::string& text);

// One-line query: returns true with `value` replaced by the typed text on OK, false (value
// unchanged) on cancel.
bool inputQuery(const std::string& caption, const std::string& prompt, std::string& value);

// Makes showMessage of the model (platform/message.h) open the message box above.
void installMessageSink();

// Qt's own Japanese texts ("qtbase_ja" in Qt's translations folder) for what Qt itself draws:
// the print, page set-up, colour and file dialogs and the standard buttons. The system's own
// texts are not Qt's and stay as they are. Needs the application object; false when the
// translation is not installed (Qt's English texts remain).
bool loadQtTranslations();

// ---- Printing: the print dialog and the printer set-up dialog ----
// Both work on the caller's printer, which keeps what the operator chose. The scripted backend
// records "print" or "printsetup" (text: the printer's name or output file) and confirms only
// on a queued Yes; its answer reads "ok" or "cancel".

// The print dialog with no options but printing to a file; true when confirmed.
bool printDialog(QPrinter& printer);
// The printer set-up (page set-up) dialog on the same printer; true when confirmed.
//
// Both open on the printer's paper, also on a size that their lists lack (840 x 1188 mm), and
// keep it unless the operator chooses another there.
bool printerSetupDialog(QPrinter& printer);

// One recorded call of the scripted backend.
struct Record {
    std::string kind;    // "message", "yesno", "yesnocancel", "input", "print" or "printsetup"
    std::string caption; // input queries only
    std::string text;    // the message, the question or the prompt
    std::string answer;  // "yes", "no", "cancel" or "ok"; empty for messages
    std::string value;   // input queries: the value the caller gets back
    bool operator==(const Record&) const = default;
};

// Switches this process to the scripted backend, with no records and the log file and answers
// that NURIVO_UI_LOG and NURIVO_UI_ANSWERS name now.
void useScripted();
bool isScripted();

// Queues the next answer: a confirmation takes Yes, No or Cancel (Cancel answers No to a
// yes/no question); an input query takes OK with `text` from scriptInput, and cancels on any
// scriptAnswer. With the queue empty, confirmations answer as Escape would and queries cancel.
void scriptAnswer(Answer answer);
void scriptInput(const std::string& text);

const std::vector<Record>& recorded();
void clearRecorded();

// Reads the file that NURIVO_UI_LOG named, as written by a scripted process; a missing file
// gives no records.
std::vector<Record> readLog(const std::string& path);

// Colour query (the colour dialog): true with `color` (0x00BBGGRR) replaced by the chosen
// colour on OK, false (color unchanged) on cancel. The dialog opens on `color`.
// Scripted: takes OK with the colour from scriptColor and cancels on any other answer (or an
// empty queue); recorded as kind "color" with the value "%06X" of the colour it returns.
// NURIVO_UI_ANSWERS takes "color:BBGGRR" (hexadecimal) as well.
bool colorQuery(int& color);
void scriptColor(int color);

// Other scripted services of the platform layer (the shell's "open") record their calls here,
// in the same list and log as the dialogs; outside the scripted backend it does nothing.
void recordScripted(const Record& r);

} // namespace ui
