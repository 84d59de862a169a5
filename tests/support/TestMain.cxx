#include <QApplication>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

// Every test binary runs inside a Qt application so that timers, queued calls and sockets work.
int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    // Tests never need a real display; test listing runs without CTest's environment too.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
