#pragma once

#include <QObject>

namespace velquist {

// The desktop's wish for less motion (its animations switched off), for views that animate.
class MotionPreference : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    ~MotionPreference() override = default;

    // Whether the desktop has told us its setting; until then, and where it has none, motion is on.
    virtual bool canReportReduceMotion() const = 0;
    // True when the desktop asks for less motion.
    virtual bool reducesMotion() const = 0;

  Q_SIGNALS:
    // The setting changed (or was first learned).
    void changed();
};

} // namespace velquist
