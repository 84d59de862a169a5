#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QRectF>
#include <array>

class QPainter;

namespace velquist {

// The product's one-colour mark: a blocky cat head of six rectangles on a grid 28 units wide and
// 24 tall. The same drawing makes the status icon, the application icon (drawn at build time into
// the icon theme) and any mark a view wants.
namespace VelquistMark {

inline constexpr double kGridWidth = 28;
inline constexpr double kGridHeight = 24;

// The rectangles in grid units, origin at the bottom left and y growing upward: ears, brows, head
// and chin.
const std::array<QRectF, 6>& gridRects();

// The mark's unit in `rect`: as large as fits whole, keeping its proportions.
double unit(const QRectF& rect);
// The rectangles placed centred in `rect` (Qt's coordinates, y growing downward), ears on top.
std::array<QRectF, 6> placedRects(const QRectF& rect);
// Fills the mark into `rect` in one colour, as one path.
void draw(QPainter& painter, const QRectF& rect, const QColor& colour);

// The status item's image: `height` points tall and 6/5 as wide (18 x 15 for 15), the mark in
// black on transparent, at `scale` device pixels per point.
QImage menuBarImage(double height, double scale = 1);
// The mark in `colour` on transparent, `size` pixels square (the status icons of the theme).
QImage statusImage(int size, const QColor& colour);
// The application's icon, `size` pixels square: the mark on a dark rounded tile.
QImage applicationImage(int size);
// The tray's icon in the given colour, at the sizes a tray asks for.
QIcon trayIcon(const QColor& colour);

} // namespace VelquistMark
} // namespace velquist
