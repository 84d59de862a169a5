#pragma once

#include <QRegion>

class QWindow;

namespace velquist {

// What a notch panel needs of the desktop beyond an ordinary window: letting clicks outside the
// notch reach the windows below, and knowing whether see-through pixels are drawn as such.
// Regions are in the window's own coordinates, in Qt's (device-independent) pixels.
class PanelShaper
{
  public:
    virtual ~PanelShaper() = default;
    // Whether `setInputRegion` has any effect.
    virtual bool canShapeInput() const = 0;
    // Whether a compositor draws translucent windows; without one a panel must cut its outline.
    virtual bool drawsTranslucency() const = 0;
    // Only `region` of `window` takes pointer input; the rest passes to what lies below. The window
    // must exist on the desktop (shown at least once).
    virtual void setInputRegion(QWindow& window, const QRegion& region) = 0;
    // Readies a window that is cut to its outline (no compositor) before it is first shown. On X11
    // such a window must draw with the screen's own colour map: with a private one, some window
    // managers (openbox) keep the windows below from drawing anywhere under its uncut rectangle.
    virtual void prepareCutWindow(QWindow& window) = 0;
};

// For a platform without these facilities (offscreen, Wayland): every click stays with the panel.
class UnavailablePanelShaper final : public PanelShaper
{
  public:
    bool canShapeInput() const override { return false; }
    bool drawsTranslucency() const override { return false; }
    void setInputRegion(QWindow&, const QRegion&) override {}
    void prepareCutWindow(QWindow&) override {}
};

} // namespace velquist
