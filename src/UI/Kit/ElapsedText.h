#pragma once

#include "Platform/Clock.h"
#include "UI/Kit/ViewTicker.h"

#include <QWidget>
#include <string>

namespace velquist {

// A pill with how long ago `since` was ("4m", "2h 5m", "1d 3h"), turned over on each wall-clock
// minute while it is on screen.
class ElapsedText : public QWidget
{
    Q_OBJECT
  public:
    ElapsedText(Clock::WallTime since, ViewTicker& ticker, QWidget* parent = nullptr);

    // Whole minutes from `from` to `to` (0 when `to` is earlier): "59m", "1h 0m", "1d 0h". Pure.
    static std::string format(Clock::WallTime from, Clock::WallTime to);

    void setSince(Clock::WallTime since);
    QString text() const { return m_text; }
    bool isTicking() const { return m_subscription.isActive(); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void refresh();

    Clock::WallTime m_since;
    ViewTicker& m_ticker;
    ViewTicker::Subscription m_subscription;
    QString m_text;
};

} // namespace velquist
