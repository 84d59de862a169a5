#pragma once

#include "Usage/UsageReading.h"

#include <QWidget>
#include <optional>

namespace velquist {

class Clock;

// One quota window as a small ring with its percentage, for the collapsed bar's right wing. Empty
// while usage is off or nothing has been read.
class UsageRing : public QWidget
{
    Q_OBJECT
  public:
    UsageRing(const UsageReading& reading, qreal barHeight, QWidget* parent = nullptr,
              const Clock* clock = nullptr);

    void setReading(const UsageReading& reading);
    void setBarHeight(qreal barHeight);
    QSize sizeHint() const override;

    // The window shown: the "session" window, else the most used; none while usage is off or unread.
    static std::optional<QuotaWindow> window(const UsageReading& reading);
    // The ring's side: the bar's height less 6, within 14 to 20.
    static qreal ringSize(qreal barHeight);
    static qreal numberPoints(qreal ringSize);
    // The percentage rounded down, without a "%" sign.
    static QString numberText(double percent);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void refreshTooltip();

    UsageReading m_reading;
    qreal m_barHeight;
    const Clock& m_clock;
};

} // namespace velquist
