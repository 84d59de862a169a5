#include "Platform/Linux/QtScreenProvider.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

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

QString QtScreenProvider::connectorOf(const QScreen& screen, const QList<QScreen*>& all)
{
    // Separate X screens each name their one output alike ("screen" without RandR outputs) and
    // start at 0,0: the X screen's number keeps them apart, where screens of one X screen (its
    // virtual siblings) cannot share a name.
    QList<QList<QScreen*>> groups;
    for (QScreen* candidate : all) {
        if (std::none_of(groups.begin(), groups.end(),
                         [candidate](const QList<QScreen*>& group) { return group.contains(candidate); }))
            groups.push_back(candidate->virtualSiblings());
    }
    for (qsizetype index = 0; index < groups.size(); ++index) {
        if (!groups[index].contains(&screen))
            continue;
        const bool shared = std::any_of(all.begin(), all.end(), [&](QScreen* other) {
            return other != &screen && other->name() == screen.name() && !groups[index].contains(other);
        });
        if (shared && index > 0)
            return screen.name() + QStringLiteral(" (X screen %1)").arg(index);
    }
    return screen.name();
}

std::vector<ScreenInfo> QtScreenProvider::screens() const
{
    std::vector<ScreenInfo> result;
    const auto screens = QGuiApplication::screens();
    const auto add = [&](QScreen& screen) {
        ScreenInfo info = describe(screen);
        info.connector = connectorOf(screen, screens);
        result.push_back(std::move(info));
    };
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        add(*primary);
    for (QScreen* screen : screens)
        if (screen != primary)
            add(*screen);
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
