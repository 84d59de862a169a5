#include "Platform/Linux/QtScreenGrabber.h"

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace velquist {

QImage QtScreenGrabber::grab(const QRect& area) const
{
    QScreen* screen = area.isValid() ? QGuiApplication::screenAt(area.center()) : nullptr;
    if (!screen || QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    const QRect local = area.intersected(screen->geometry()).translated(-screen->geometry().topLeft());
    return screen->grabWindow(0, local.x(), local.y(), local.width(), local.height()).toImage();
}

} // namespace velquist
