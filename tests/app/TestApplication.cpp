// The window test needs a widget application, and every wait of the job
// cycle runs the event loop: one application object for the whole run, on
// the offscreen platform so that no display is needed.

#include <QApplication>

namespace {
int setPlatform()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return 0;
}
int platformSet = setPlatform();
int argc = 1;
char name[] = "app_tests";
char* argv[] = {name, nullptr};
QApplication application(argc, argv);
} // namespace
