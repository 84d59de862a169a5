#pragma once

#include <QImage>
#include <QRect>

namespace velquist {

// What the screen shows, read back as pixels: for colours that others paint around our own
// windows, such as a tray's background behind the status icon.
class ScreenGrabber
{
  public:
    virtual ~ScreenGrabber() = default;
    // The pixels of `area` (desktop coordinates) as shown now, cut to the screen that holds its
    // centre; a null image when the area is empty or the screen cannot be read back here.
    virtual QImage grab(const QRect& area) const = 0;
};

} // namespace velquist
