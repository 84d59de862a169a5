#pragma once

#include <QColor>
#include <array>

namespace velquist {

// The colours of the tour's card.
namespace IntroStyle {

inline QColor srgb(double r, double g, double b, double a = 1)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(a));
}
inline QColor white(double opacity)
{
    return srgb(1, 1, 1, opacity);
}

inline QColor surface()
{
    return srgb(0.02, 0.02, 0.039);
}
inline QColor hairline()
{
    return white(0.09);
}
inline const std::array<QColor, 4>& dawn()
{
    static const std::array<QColor, 4> colours{srgb(0.561, 0.498, 0.839), srgb(0.741, 0.651, 0.847),
                                               srgb(0.91, 0.765, 0.69), srgb(0.969, 0.863, 0.722)};
    return colours;
}
inline QColor dawnSpent()
{
    return white(0.13);
}
inline QColor bodyColour()
{
    return white(0.62);
}
inline QColor ctaTop()
{
    return srgb(0.561, 0.373, 0.941);
}
inline QColor ctaBottom()
{
    return srgb(0.416, 0.235, 0.878);
}
inline QColor quietLabel()
{
    return white(0.38);
}

} // namespace IntroStyle
} // namespace velquist
