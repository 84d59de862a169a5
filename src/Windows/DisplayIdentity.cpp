#include "Windows/DisplayIdentity.h"

#include <QScreen>
#include <QUuid>

namespace velquist {

ScreenDescription ScreenDescription::from(const QScreen& screen)
{
    return {screen.name(), screen.manufacturer(), screen.model(), screen.serialNumber(), screen.geometry()};
}

ScreenDescription ScreenDescription::from(const ScreenInfo& screen)
{
    return {screen.connector, screen.manufacturer, screen.model, screen.serialNumber, screen.geometry};
}

namespace DisplayIdentity {

std::string idOrName(const ScreenDescription& screen)
{
    return id(screen).value_or(screen.connector.toStdString());
}

std::optional<std::string> id(const ScreenDescription& screen)
{
    // A fixed namespace keeps the ids the same across runs and machines.
    static const QUuid kNamespace("{6f1c9a52-3d0e-4b7a-9c61-0e4f2b8d5a17}");
    QString basis;
    if (!screen.manufacturer.isEmpty() || !screen.model.isEmpty() || !screen.serialNumber.isEmpty())
        basis = QStringLiteral("edid|%1|%2|%3").arg(screen.manufacturer, screen.model, screen.serialNumber);
    else if (!screen.connector.isEmpty())
        basis = QStringLiteral("connector|%1").arg(screen.connector);
    else
        return std::nullopt;
    const QUuid uuid = QUuid::createUuidV5(kNamespace, basis);
    return uuid.toString(QUuid::WithoutBraces).toUpper().toStdString();
}

std::optional<std::size_t> screenContaining(QPoint point, const std::vector<ScreenDescription>& screens)
{
    for (std::size_t index = 0; index < screens.size(); ++index) {
        const QRect& frame = screens[index].frame;
        // QRect::contains counts the right and bottom edge pixels in; ours do not belong.
        if (point.x() >= frame.x() && point.x() < frame.x() + frame.width() && point.y() >= frame.y() &&
            point.y() < frame.y() + frame.height())
            return index;
    }
    return std::nullopt;
}

bool isBuiltIn(const ScreenDescription& screen)
{
    return screen.connector.startsWith(QLatin1String("eDP")) ||
           screen.connector.startsWith(QLatin1String("LVDS")) ||
           screen.connector.startsWith(QLatin1String("DSI"));
}

} // namespace DisplayIdentity
} // namespace velquist
