// The start-up form: the program's main window, a small banner shown only while the program
// starts. Creating it loads the settings, reads the command line and builds the layer set; its
// first activation checks the application kind, and one second later it hands over, once, to
// the raster picker or the command-line run, saves the settings and closes.
#pragma once
#include <QWidget>

class QLabel;
class QTimer;

class TFrm_NVMain0 : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_NVMain0(QWidget* parent = nullptr);

    QLabel* StaticText1 = nullptr;
    QTimer* Timer1 = nullptr;

signals:
    // The form has closed: the program ends.
    void formClosed();

public slots:
    void FormCreate();
    void FormActivate();
    void Timer1Timer();

protected:
    bool event(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    bool rejecting_ = false; // the kind was refused; the form is on its way out
};

extern TFrm_NVMain0* Frm_NVMain0;

// The application's title "ノアベル": the name under which the desktop lists the program and
// the title of its message boxes. Each form's caption stays exactly its own.
void startSetAppTitle();
