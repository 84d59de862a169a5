#pragma once

#include "Platform/ScreenGrabber.h"

namespace velquist {

// Reads the screen through Qt. Only an X display can be read back this way: elsewhere (Wayland,
// offscreen) every grab is null.
class QtScreenGrabber final : public ScreenGrabber
{
  public:
    QImage grab(const QRect& area) const override;
};

} // namespace velquist
