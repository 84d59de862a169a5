#pragma once

#include <QObject>

namespace velquist {

// Whether the introduction is showing its demonstration session's Allow control being pressed.
// The tour publishes it; the demonstration's row draws the press and follows its changes.
class DemoPressSource : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;

    virtual bool isPressingAllow() const = 0;

  Q_SIGNALS:
    void isPressingAllowChanged();
};

} // namespace velquist
