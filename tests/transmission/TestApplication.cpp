// The transmission's waits run a local event loop, and the simulators live on
// the test's thread: every test needs the application object.

#include <QCoreApplication>

namespace {
int argc = 1;
char name[] = "transmission_tests";
char* argv[] = {name, nullptr};
QCoreApplication application(argc, argv);
} // namespace
