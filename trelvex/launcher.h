// The vectorising launcher: one conversion of libquillan.so behind the progress window.
#pragma once
#include "shell/frmprogress.h"

#include <cstdarg>
#include <string>
#include <string_view>
#include <vector>

class QTimer;

// The launcher's main form: the progress window with the one-shot timer that runs the
// conversion. `args` are the program's arguments after its own name: the work image and the
// RVL file to write.
class TFormLauncher : public TFormProgress {
    Q_OBJECT
public:
    explicit TFormLauncher(std::vector<std::string> args, QWidget* owner = nullptr);

    QTimer* Timer1;

public slots:
    void Timer1Timer();

private:
    void FormCreate();
    void runConversion();

    std::vector<std::string> args_;
};

// The messages of the launcher.
extern const char* const msgLibraryMissing;
extern const char* const msgLibraryBroken;
extern const char* const msgConversionFailed;
extern const char* const msgArgumentsMissing;

// The step number a progress message begins with: leading blanks skipped, the digits up to
// the first other character; 0 when there are none.
int progressParseStep(std::string_view message);
// What the status bar shows of a progress message: the text after its number and dash, from
// the sixth byte for step 5 and from the fourth otherwise.
std::string progressStatusText(const std::string& message, int step);

// Callbacks handed to the vectoriser. Progress moves the bar of FormProgress and sets its
// status text; message shows the text in a message box. Both return 1.
int progressCallBack(const char* format, va_list args);
int messageCallBack(const char* format, va_list args);
