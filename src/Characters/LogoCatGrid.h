#pragma once

#include <QColor>
#include <QRect>
#include <array>
#include <string_view>
#include <vector>

namespace velquist {

// The mascot's six faces, in order.
enum class LogoCatExpression { greeting, working, alert, sleepy, delighted, asking };

inline constexpr std::array<LogoCatExpression, 6> kAllLogoCatExpressions{
    LogoCatExpression::greeting, LogoCatExpression::working,   LogoCatExpression::alert,
    LogoCatExpression::sleepy,   LogoCatExpression::delighted, LogoCatExpression::asking};

std::string_view toString(LogoCatExpression expression);

// The pixel-art cat as coloured blocks on a grid: x grows right, y grows down, the face fills
// x 0..36 and y 0..28, and the props sit in a margin around it (the drawing window starts at
// (-8, -9) and is 52 by 38 units).
namespace LogoCatGrid {

inline constexpr double kWindowLeft = -8;
inline constexpr double kWindowTop = -9;
inline constexpr double kWindowWidth = 52;
inline constexpr double kWindowHeight = 38;

struct Colour
{
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const Colour&) const = default;
    QColor toQColor() const { return QColor::fromRgbF(float(red), float(green), float(blue)); }
};

namespace Colours {
inline constexpr Colour fur{0.851, 0.796, 0.969};
inline constexpr Colour shade{0.718, 0.635, 0.91};
inline constexpr Colour innerEar{0.663, 0.561, 0.941};
inline constexpr Colour leftCheek{0.933, 0.765, 0.871};
inline constexpr Colour rightCheek{0.875, 0.69, 0.831};
inline constexpr Colour eye{0.063, 0.059, 0.071};
inline constexpr Colour highlight{1, 1, 1};
inline constexpr Colour nose{1.0, 0.624, 0.039};
inline constexpr Colour mouth{0.553, 0.435, 0.871};
inline constexpr Colour accent{0.969, 0.863, 0.722};
} // namespace Colours

struct Cell
{
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    Colour colour;
    double opacity = 1;
    bool operator==(const Cell&) const = default;
};

enum class Eyes { open, closed, wide, lowered };

// The moving parts at one moment, all at rest when zero.
struct Pose
{
    double bob = 0;     // vertical offset of the whole cat, negative is up
    double paw = 0;     // vertical offset of the raised paw
    double drift = 0;   // 0..1, phase of the floating Z letters
    double sparkle = 0; // 0..1, phase of the sparkles
    bool isBlinking = false;
    bool operator==(const Pose&) const = default;
};

Eyes eyeState(LogoCatExpression expression, bool isBlinking);
// Every block to draw, in drawing order (at most 27).
std::vector<Cell> cells(LogoCatExpression expression, const Pose& pose);
// One Z letter; `index` 0 is the large one.
std::vector<Cell> zeds(int index, double phase, double bob);
std::vector<Cell> sparkles(double sparkle, double bob);

// Where a cell lands on a canvas of `scale` points per unit: whole points, never thinner than one.
QRect pixelRect(const Cell& cell, double scale);

} // namespace LogoCatGrid
} // namespace velquist
