#include "Platform/Linux/QtScreenGrabber.h"

#include <QGuiApplication>
#include <QScreen>
#include <gtest/gtest.h>

using namespace velquist;

// Reading the screen back works on an X display only (the tray test reads a real one); elsewhere
// a grab is null rather than a picture of nothing, so the tray's colour stays unknown.
TEST(QtScreenGrabberTest, WithoutAnXDisplayEveryGrabIsNull)
{
    ASSERT_NE(QGuiApplication::platformName(), QLatin1String("xcb"));
    const QtScreenGrabber grabber;
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(grabber.grab(QRect(screen->geometry().topLeft(), QSize(22, 22))).isNull());
    EXPECT_TRUE(grabber.grab(QRect()).isNull());
}
