// Test entry for widget tests: a QApplication on the offscreen platform around the tests, and
// the scripted dialogs, so nothing needs a display or waits for a human (the tests of the Qt
// dialogs themselves answer them from a timer).
#include "platform/ui.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef NURIVO_TEST_QT_DIALOGS
    qunsetenv("NURIVO_UI");
#else
    ui::useScripted();
#endif
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
