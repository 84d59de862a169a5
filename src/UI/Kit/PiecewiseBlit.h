#pragma once

class QPainter;
class QPixmap;
class QRegion;

namespace velquist {

// Draws the part of `picture` (placed at the painter's origin) that lies under `region`, one
// rectangle of the region at a time and in strips of a few rows.
//
// A repaint of scattered small parts (a spinner here, a card's outline there) clips the painter to
// a region of many rectangles. Qt's raster engine then blends a picture line by line, and hands
// any batch of more than about a hundred lines to its thread pool: for the few pixels of an idle
// panel's repaint, waking those threads and waiting for them costs far more than the blending, and
// all of it happens again at every step. Small pieces stay on the painting thread and touch only
// the pixels being repainted. The pixels are the same as drawing the whole picture.
void drawPiecewise(QPainter& painter, const QRegion& region, const QPixmap& picture);

} // namespace velquist
