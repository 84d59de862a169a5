#pragma once

#include <QImage>

namespace velquist {

// Softens the alpha channel of a premultiplied ARGB image in place: three box blurs in a row,
// close to a Gaussian that spreads about 1.7 x `radius` pixels. For shadows, drawn in black.
void boxBlurAlpha(QImage& image, int radius);

} // namespace velquist
