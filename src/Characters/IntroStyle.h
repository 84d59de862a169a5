#pragma once

#include "UI/Kit/Palette.h"

#include <QColor>
#include <array>

namespace velquist {

// The tour card's names for the palette's colours.
namespace IntroStyle {

inline QColor surface()
{
    return Palette::sheet();
}
inline QColor cardShadow()
{
    return Palette::tourCardShadow();
}
inline QColor hairline()
{
    return Palette::tourHairline();
}
inline const std::array<QColor, 4>& dawn()
{
    return Palette::tourDawn();
}
inline QColor dawnSpent()
{
    return Palette::tourDawnSpent();
}
inline QColor bodyColour()
{
    return Palette::tourBody();
}
inline QColor ctaTop()
{
    return Palette::tourActionTop();
}
inline QColor ctaBottom()
{
    return Palette::tourActionBottom();
}
inline QColor ctaPressed()
{
    return Palette::tourActionPressed();
}
inline QColor ctaStroke()
{
    return Palette::tourActionStroke();
}
inline QColor quietLabel()
{
    return Palette::tourQuietLabel();
}
inline QColor secondaryLabel()
{
    return Palette::tourSecondaryLabel();
}

} // namespace IntroStyle
} // namespace velquist
