#pragma once

#include <QRect>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

namespace velquist {

// What one attached screen reports about itself, in global desktop coordinates.
struct ScreenInfo
{
    QString connector;    // "eDP-1", "HDMI-1", ...
    QString manufacturer; // from the EDID, may be empty
    QString model;
    QString serialNumber;
    QRect geometry;          // the whole screen
    QRect availableGeometry; // the screen less the desktop's panels and bars
    // The top safe-area inset of a screen with a camera housing; 0 where none is reported.
    qreal safeAreaTop = 0;
    // The menu-bar areas left and right of a camera housing, where the platform reports them.
    std::optional<QRect> auxiliaryTopLeft;
    std::optional<QRect> auxiliaryTopRight;

    bool operator==(const ScreenInfo&) const = default;
};

// The attached screens, as the panels are laid out on them.
class ScreenProvider
{
  public:
    virtual ~ScreenProvider() = default;
    // Every attached screen, in the desktop's order (the primary screen first).
    virtual std::vector<ScreenInfo> screens() const = 0;
    // Whether this platform can report a camera housing (safe-area inset and top areas) at all.
    virtual bool canReportNotch() const = 0;
    // Called on the main thread after a screen is added or removed or changes its geometry.
    virtual void setChangeHandler(std::function<void()> handler) = 0;
};

} // namespace velquist
