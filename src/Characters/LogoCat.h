#pragma once

#include "Characters/LogoCatGrid.h"
#include "Core/Scheduler.h"
#include "UI/Kit/ViewTicker.h"

#include <QWidget>

namespace velquist {

// The mascot drawn from coloured blocks, in one of its expressions, moving on the shared frame
// clock while shown: bobbing, waving, drifting Z letters, twinkling sparkles, and now and then a
// blink. The width follows the height (52 by 38 units); every block lands on whole points.
class LogoCat final : public QWidget
{
    Q_OBJECT
  public:
    using Expression = LogoCatExpression;

    LogoCat(ViewTicker& ticker, Scheduler& scheduler, Expression expression, int height,
            QWidget* parent = nullptr);

    // Starts the expression's motion from rest and restarts the blinking.
    void setExpression(Expression expression);
    Expression expression() const { return m_expression; }
    // With less motion the cat stands still (sparkles shown at full phase) and never blinks.
    void setReduceMotion(bool reduce);

    // The pose drawn now.
    LogoCatGrid::Pose pose() const;
    bool isBlinking() const { return m_isBlinking; }
    // Whether the frame clock drives it (only while shown and moving).
    bool isTicking() const { return m_tick.isActive(); }

    static int widthFor(int height);
    QSize sizeHint() const override { return {widthFor(m_height), m_height}; }

    // Paints the cat in a pose onto a canvas `height` points tall, starting at the painter's origin.
    static void paint(class QPainter& painter, Expression expression, const LogoCatGrid::Pose& pose,
                      int height);

    // Blinks come at random between these, both included.
    static constexpr std::chrono::milliseconds kBlinkMin{2400};
    static constexpr std::chrono::milliseconds kBlinkMax{5000};
    static constexpr std::chrono::milliseconds kBlinkLength{110};

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void restart();
    void scheduleBlink();

    ViewTicker& m_ticker;
    Scheduler& m_scheduler;
    Expression m_expression;
    int m_height;
    bool m_reduceMotion = false;
    bool m_isBlinking = false;
    Clock::Monotonic m_since;
    ViewTicker::Subscription m_tick;
    ScheduledTimer m_blink;
};

} // namespace velquist
