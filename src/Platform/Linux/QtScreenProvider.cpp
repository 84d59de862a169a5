#include "Platform/Linux/QtScreenProvider.h"

#include <QGuiApplication>
#include <QScreen>

namespace velquist {

QtScreenProvider::QtScreenProvider(QObject* parent) : QObject(parent)
{
    const auto screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        notify();
    });
    // A removed screen is still in the list while this signal runs; report once it is gone.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { notify(); }, Qt::QueuedConnection);
    });
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, [this] { notify(); });
}

ScreenInfo QtScreenProvider::describe(const QScreen& screen)
{
    ScreenInfo info;
    info.connector = screen.name();
    info.manufacturer = screen.manufacturer();
    info.model = screen.model();
    info.serialNumber = screen.serialNumber();
    info.geometry = screen.geometry();
    info.availableGeometry = screen.availableGeometry();
    return info;
}

std::vector<ScreenInfo> QtScreenProvider::screens() const
{
    std::vector<ScreenInfo> result;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        result.push_back(describe(*primary));
    const auto screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        if (screen != primary)
            result.push_back(describe(*screen));
    return result;
}

void QtScreenProvider::setChangeHandler(std::function<void()> handler)
{
    m_handler = std::move(handler);
}

void QtScreenProvider::watch(QScreen* screen)
{
    connect(screen, &QScreen::geometryChanged, this, &QtScreenProvider::notify);
    connect(screen, &QScreen::availableGeometryChanged, this, &QtScreenProvider::notify);
}

void QtScreenProvider::notify()
{
    if (m_handler)
        m_handler();
}

} // namespace velquist
