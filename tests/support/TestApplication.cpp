// Every wait of the job cycle runs the event loop, and the window test needs a
// widget application: one application object for the whole run, on the
// offscreen platform so that no display is needed. It lives in main so that it
// is gone before the exit handlers run: a static one outlived Qt's own statics
// and crashed the program on its way out.

#ifdef TAVOR1_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TestApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
