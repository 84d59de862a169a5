#include "UI/NotchGeometry.h"

#include <algorithm>

namespace velquist {

ScreenTopEdge ScreenTopEdge::of(const ScreenInfo& screen)
{
    ScreenTopEdge edge;
    // A top bar that reserves room leaves the available area starting below the screen's top.
    edge.menuBarHeight = std::max(0, screen.availableGeometry.top() - screen.geometry.top());
    if (screen.safeAreaTop > 0 && screen.auxiliaryTopLeft && screen.auxiliaryTopRight)
        edge.notch =
            Notch{screen.safeAreaTop, qreal(screen.geometry.width() - screen.auxiliaryTopLeft->width() -
                                            screen.auxiliaryTopRight->width())};
    return edge;
}

NotchGeometry NotchGeometry::forScreen(const ScreenInfo& screen, const std::vector<ScreenInfo>& attached)
{
    NotchGeometry geometry;
    const ScreenTopEdge edge = ScreenTopEdge::of(screen);
    if (edge.notch) {
        geometry.hasRealNotch = true;
        geometry.centerGapWidth = edge.notch->gapWidth;
        geometry.barHeight = edge.notch->height;
        return geometry;
    }
    geometry.hasRealNotch = false;
    geometry.centerGapWidth = kGaplessWidth;
    if (edge.menuBarHeight > 0) {
        geometry.barHeight = edge.menuBarHeight;
        return geometry;
    }
    for (const ScreenInfo& other : attached) {
        const ScreenTopEdge otherEdge = ScreenTopEdge::of(other);
        if (otherEdge.notch && otherEdge.notch->height > 0) {
            geometry.barHeight = otherEdge.notch->height;
            return geometry;
        }
    }
    geometry.barHeight = kFallbackBarHeight;
    return geometry;
}

qreal NotchGeometry::openWidth() const
{
    return std::max(centerGapWidth + 2 * wingWidth, kMinimumOpenWidth);
}

} // namespace velquist
