// nurivo [KIND LAYERMAX OPENMODE DEFDIR DATADIR BASEDIR SUBDIR RASTER]: without arguments the
// raster picker; started by another application, the one raster its fields name.
#include "dialogs/defsakuzu.h"
#include "model/startup.h"
#include "platform/procsignals.h"
#include "platform/ui.h"
#include "shell/frmnvmain.h"
#include "shell/frmnvmain0.h"
#include "workbench/inputpos.h"
#include "workbench/qrvdetail.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

namespace {

void showFailure(const std::exception& e)
{
    if (QCoreApplication::instance())
        ui::showMessage(e.what());
    else
        std::fprintf(stderr, "nurivo: %s\n", e.what());
}

// An exception out of a handler (in practice std::bad_alloc) is shown and the loop goes on.
class TNVApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            showFailure(e);
        }
        return false;
    }
};

// The forms made once at start, after the start-up form, freed before the application ends.
struct StartForms {
    StartForms()
    {
        frmNVMainCreate();
        defSakuzuCreate();
        qrvDetailCreate();
        inputPosCreate();
    }
    ~StartForms()
    {
        inputPosDestroy();
        qrvDetailDestroy();
        defSakuzuDestroy();
        frmNVMainDestroy();
    }
    StartForms(const StartForms&) = delete;
    StartForms& operator=(const StartForms&) = delete;
};

} // namespace

int main(int argc, char** argv)
{
    platformIgnoreFileSizeSignal();
    try {
        // Taken before QApplication removes the options it knows.
        cmdArgs.assign(argv + 1, argv + argc);
        for (const std::string& arg : cmdArgs)
            cmdLine += (cmdLine.empty() ? "" : " ") + arg;

        TNVApplication app(argc, argv);
        startSetAppTitle();
        ui::loadQtTranslations();
        // The start-up form hides while the picker or the workbench runs; only its close ends
        // the program.
        QApplication::setQuitOnLastWindowClosed(false);
        ui::installMessageSink();

        try {
            auto startForm = std::make_unique<TFrm_NVMain0>();
            Frm_NVMain0 = startForm.get();
            StartForms forms;
            QObject::connect(startForm.get(), &TFrm_NVMain0::formClosed, &app,
                             &QCoreApplication::quit, Qt::QueuedConnection);
            startForm->show();
            app.exec();
            Frm_NVMain0 = nullptr;
        } catch (const std::exception& e) {
            Frm_NVMain0 = nullptr;
            showFailure(e);
        }
    } catch (const std::exception& e) {
        showFailure(e);
    }
    return 0;
}
