#pragma once

#include "Platform/ScreenProvider.h"

#include <optional>
#include <vector>

namespace velquist {

// The measured facts of a screen's top edge; window code compares screens by them.
struct ScreenTopEdge
{
    struct Notch
    {
        qreal height = 0;   // the top safe-area inset
        qreal gapWidth = 0; // the screen's width less both top areas beside the housing
        bool operator==(const Notch&) const = default;
    };

    qreal menuBarHeight = 0; // the height the desktop's top bar takes; 0 when it shows none
    std::optional<Notch> notch;

    bool operator==(const ScreenTopEdge&) const = default;

    static ScreenTopEdge of(const ScreenInfo& screen);
};

// The layout numbers of one panel: the empty gap in the middle of the bar, the bar's height and the
// most either wing may take beside the gap.
struct NotchGeometry
{
    static constexpr qreal kWingWidth = 128;
    static constexpr qreal kGaplessWidth = 56; // the gap on screens without a housing
    static constexpr qreal kFallbackBarHeight = 32;
    static constexpr qreal kMinimumOpenWidth = 760;
    static constexpr qreal kMaximumOpenHeight = 560;

    bool hasRealNotch = false;
    qreal centerGapWidth = kGaplessWidth;
    qreal barHeight = kFallbackBarHeight;
    qreal wingWidth = kWingWidth;

    bool operator==(const NotchGeometry&) const = default;

    // The geometry of `screen`; `attached` (in the desktop's order) lends a bar height from the first
    // screen with a housing when `screen` shows no top bar of its own.
    static NotchGeometry forScreen(const ScreenInfo& screen, const std::vector<ScreenInfo>& attached);

    // Width of the open panel: the bar with both wings, at least 760.
    qreal openWidth() const;
};

} // namespace velquist
