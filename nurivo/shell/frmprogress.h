// The progress window: a small modeless, stay-on-top window with a bar and a status line,
// shown while a long step runs on the GUI thread. nurivo drives it through progressOpen,
// progressStep and progressClose; trelvex uses the same form as its only window.
#pragma once
#include <QWidget>

#include <string>

class QProgressBar;
class QStatusBar;

class TFormProgress : public QWidget {
    Q_OBJECT
public:
    explicit TFormProgress(QWidget* owner = nullptr);
    ~TFormProgress() override;

    QProgressBar* ProgressBar1;
    QStatusBar* StatusBar1;

    // Sets the bar and the status text and paints both at once. The long step that reports
    // here keeps the event loop from running, so waiting for a later repaint would show
    // nothing until the step is over; no input is handled meanwhile.
    void showStep(int position, const QString& text);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool centred_ = false;
};

// The open window of nurivo (or trelvex's main form); null when none is open.
extern TFormProgress* FormProgress;

// Opens a new window with the caption, the bar at 0 of `maximum` and an empty status text.
// One window at a time: a window still open is closed first.
void progressOpen(int maximum, const std::string& caption);
// Sets the bar and the status text of the open window; does nothing when none is open.
void progressStep(int position, const std::string& text);
// Hides and deletes the open window, if any.
void progressClose();
