#include "UI/CollapsedBarLayout.h"

#include <algorithm>
#include <cmath>

namespace velquist::CollapsedBarLayout {
namespace {

qreal wingWidthFor(int icons, qreal icon, bool withOverflow)
{
    if (icons <= 0 && !withOverflow)
        return 0;
    qreal width = icons * icon + kIconSpacing * std::max(0, icons - 1) + kOuterPadding + kInnerPadding;
    if (withOverflow)
        width += (icons > 0 ? kIconSpacing : 0) + kOverflowWidth;
    return width;
}

} // namespace

qreal iconSize(qreal barHeight)
{
    return std::min(std::max(barHeight - 6, kMinimumIcon), kMaximumIcon);
}

LeftWing leftWing(int groups, qreal barHeight, qreal wingWidth)
{
    LeftWing wing;
    if (groups <= 0)
        return wing;
    const qreal natural = iconSize(barHeight);
    wing.iconSize = natural;
    wing.shown = groups;
    wing.width = wingWidthFor(groups, natural, false);
    if (wing.width <= wingWidth)
        return wing;
    // Smaller icons first: the largest size at which all of them fit.
    const qreal room = wingWidth - kOuterPadding - kInnerPadding - kIconSpacing * (groups - 1);
    const qreal shrunk = std::floor(room / groups * 2) / 2;
    if (shrunk >= kMinimumIcon) {
        wing.iconSize = std::min(shrunk, natural);
        wing.width = wingWidth;
        return wing;
    }
    // Then as many of the smallest icons as leave room for the "+n".
    wing.iconSize = std::min(kMinimumIcon, natural);
    int shown = groups - 1;
    while (shown > 0 && wingWidthFor(shown, wing.iconSize, true) > wingWidth)
        --shown;
    wing.shown = shown;
    wing.overflow = groups - shown;
    // A wing that had to give way is full: the bar takes its widest form.
    wing.width = wingWidth;
    return wing;
}

qreal rightWingWidth(bool snoozed, bool hasRightItem, qreal barHeight)
{
    qreal content = 0;
    if (snoozed)
        content += kMoonWidth;
    if (hasRightItem)
        content += barHeight;
    if (snoozed && hasRightItem)
        content += kRightSpacing;
    return content > 0 ? content + kOuterPadding : 0;
}

qreal collapsedWidth(const NotchGeometry& geometry, int groups, bool snoozed, bool hasRightItem)
{
    const qreal left = leftWing(groups, geometry.barHeight, geometry.wingWidth).width;
    const qreal right = rightWingWidth(snoozed, hasRightItem, geometry.barHeight);
    const qreal half = std::max({left, right, 0.0});
    return geometry.centerGapWidth + 2 * std::min(geometry.wingWidth, half);
}

} // namespace velquist::CollapsedBarLayout
