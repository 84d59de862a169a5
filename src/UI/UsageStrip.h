#pragma once

#include "Usage/UsageReading.h"

#include <QRectF>
#include <QWidget>
#include <vector>

namespace velquist {

class Clock;

// The foot of the expanded list: the provider's name and up to three bar gauges of its quota
// windows. Empty while usage is off, unread or without windows.
class UsageStrip : public QWidget
{
    Q_OBJECT
  public:
    static constexpr qreal kPaddingX = 15;
    static constexpr qreal kPaddingY = 6;
    static constexpr qreal kSpacing = 12;
    static constexpr qreal kGaugeSpacing = 6;
    static constexpr qreal kBarWidth = 58;
    static constexpr qreal kBarHeight = 14;

    explicit UsageStrip(const UsageReading& reading, QWidget* parent = nullptr, const Clock* clock = nullptr);

    void setReading(const UsageReading& reading);
    const UsageReading& reading() const { return m_reading; }
    // Whether the strip shows anything.
    bool isShowing() const { return shows(m_reading); }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    static bool shows(const UsageReading& reading);
    // "session", then "weekly", then the rest in order; at most three.
    static std::vector<QuotaWindow> displayWindows(const QuotaData& quota);
    // "5h", "week", or the display name without "Weekly".
    static QString gaugeLabel(const QuotaWindow& window);
    // The rounded percentage and "%".
    static QString percentText(double percent);
    // Each gauge's area (label, bar and percentage), in the strip's coordinates.
    std::vector<QRectF> gaugeRects() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

  private:
    UsageReading m_reading;
    const Clock& m_clock;
};

} // namespace velquist
