#pragma once

#include "Platform/ScreenGrabber.h"

#include <vector>

namespace velquist::test {

// A screen that shows what the test painted: every grab returns `shown` (null: unreadable) and
// notes the area asked for.
class RecordingScreenGrabber final : public ScreenGrabber
{
  public:
    QImage grab(const QRect& area) const override
    {
        areas.push_back(area);
        return shown;
    }

    // A screen of one colour.
    void fill(const QColor& colour)
    {
        shown = QImage(22, 22, QImage::Format_RGB32);
        shown.fill(colour);
    }

    QImage shown;
    mutable std::vector<QRect> areas;
};

} // namespace velquist::test
