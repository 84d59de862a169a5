#pragma once

#include "UI/NotchGeometry.h"

namespace velquist {

// The measures of the collapsed bar, shared by the bar that draws it and the view model that sizes
// it, so the two never disagree.
namespace CollapsedBarLayout {

inline constexpr qreal kIconSpacing = 9;
inline constexpr qreal kOuterPadding = 14; // from the bar's ends to the outermost items
inline constexpr qreal kInnerPadding = 5;  // between the left wing's icons and the gap
inline constexpr qreal kRightSpacing = 5;
inline constexpr qreal kMoonWidth = 10;
inline constexpr qreal kMinimumIcon = 13;
inline constexpr qreal kMaximumIcon = 20;
inline constexpr qreal kOverflowWidth = 18; // room for a "+n" after the icons shown

// The agent icon's size: the bar's height less 6, within 13 to 20.
qreal iconSize(qreal barHeight);

// How the left wing shows `groups` agent kinds within `wingWidth`: every icon at full size when they
// fit; else smaller icons down to 13; else as many 13-point icons as fit and a "+n" for the rest.
struct LeftWing
{
    qreal iconSize = 0;
    int shown = 0;    // icons drawn, the first `shown` groups
    int overflow = 0; // groups left out, counted by the "+n"
    qreal width = 0;  // the wing's content with its paddings (the whole wing when it had to give way)

    bool operator==(const LeftWing&) const = default;
};
LeftWing leftWing(int groups, qreal barHeight, qreal wingWidth);

// The right wing's content with its padding: the moon while snoozed, then the ring or character
// (as wide as the bar is high); 0 when neither shows.
qreal rightWingWidth(bool snoozed, bool hasRightItem, qreal barHeight);

// The collapsed bar's width: the gap plus twice the wider wing (each at most `wingWidth`), so the bar
// stays centred on the gap.
qreal collapsedWidth(const NotchGeometry& geometry, int groups, bool snoozed, bool hasRightItem);

} // namespace CollapsedBarLayout
} // namespace velquist
