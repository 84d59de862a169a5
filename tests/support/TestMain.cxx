#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

// The smallest Qt application the area's layer needs, so a test of a layer without widgets
// cannot lean on them: widgets for the interface and the application, the GUI module for the
// platform layer, the core module below.
#if defined(VELQUIST_TEST_WIDGETS)
#include <QApplication>
using TestApplication = QApplication;
#elif defined(VELQUIST_TEST_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

// Every Qt test binary runs inside an application object so that timers, queued calls and sockets
// work.
int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    // Tests never need a real display; test listing runs without CTest's environment too.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
