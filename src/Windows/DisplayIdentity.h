#pragma once

#include "Platform/ScreenProvider.h"

#include <QPoint>
#include <QRect>
#include <QString>
#include <optional>
#include <string>
#include <vector>

class QScreen;

namespace velquist {

// What we know of one screen, taken from QScreen so the logic can be tested without a display.
struct ScreenDescription
{
    QString connector;    // "eDP-1", "HDMI-1", ...
    QString manufacturer; // from the EDID, may be empty
    QString model;
    QString serialNumber;
    QRect frame;

    static ScreenDescription from(const QScreen& screen);
    static ScreenDescription from(const ScreenInfo& screen);
};

namespace DisplayIdentity {

// A stable text identity for a screen, in the upper-case 8-4-4-4-12 form of a UUID: a name-based
// UUID of the EDID's manufacturer, model and serial, or of the connector name when the screen
// reports none of them. None when nothing identifies the screen.
std::optional<std::string> id(const ScreenDescription& screen);

// The id, or the connector's name for a screen that nothing identifies: how the panels name a screen.
std::string idOrName(const ScreenDescription& screen);

// The first screen whose frame holds the point; a point on a frame's left or top edge belongs to
// it, one on its right or bottom edge does not.
std::optional<std::size_t> screenContaining(QPoint point, const std::vector<ScreenDescription>& screens);

// Laptop panels: connectors named eDP, LVDS or DSI.
bool isBuiltIn(const ScreenDescription& screen);

} // namespace DisplayIdentity
} // namespace velquist
