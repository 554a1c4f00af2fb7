// trelvex WORK-IMAGE RVL-FILE: converts the one-bit work image into the RVL file of its
// centre lines behind a progress window. The caller looks only for the RVL file, so the exit
// code is always 0.
#include "launcher.h"
#include "platform/procsignals.h"

#include <QApplication>

int main(int argc, char** argv)
{
    platformIgnoreFileSizeSignal();
    // Taken before Qt removes the options it knows from argv.
    std::vector<std::string> args(argv + 1, argv + argc);
    QApplication app(argc, argv);
    TFormLauncher form(std::move(args));
    FormProgress = &form;
    form.show();
    app.exec();
    FormProgress = nullptr;
    return 0;
}
