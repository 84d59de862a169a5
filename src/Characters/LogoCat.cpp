#include "Characters/LogoCat.h"

#include "Characters/LogoCatMotion.h"

#include <QPainter>
#include <QRandomGenerator>
#include <cmath>

namespace velquist {

LogoCat::LogoCat(ViewTicker& ticker, Scheduler& scheduler, Expression expression, int height, QWidget* parent)
    : QWidget(parent), m_ticker(ticker), m_scheduler(scheduler), m_expression(expression),
      m_height(std::max(height, 1)), m_since(ticker.clock().monotonic())
{
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(sizeHint());
}

int LogoCat::widthFor(int height)
{
    return int(std::lround(height * LogoCatGrid::kWindowWidth / LogoCatGrid::kWindowHeight));
}

void LogoCat::setExpression(Expression expression)
{
    if (expression == m_expression)
        return;
    m_expression = expression;
    restart();
}

void LogoCat::setReduceMotion(bool reduce)
{
    if (reduce == m_reduceMotion)
        return;
    m_reduceMotion = reduce;
    restart();
}

LogoCatGrid::Pose LogoCat::pose() const
{
    // A still cat reads no clock: a frozen card may outlive the clocks it was given.
    if (m_reduceMotion)
        return LogoCatMotion::pose(m_expression, 0, true);
    const double seconds = std::chrono::duration<double>(m_ticker.clock().monotonic() - m_since).count();
    LogoCatGrid::Pose pose = LogoCatMotion::pose(m_expression, seconds, m_reduceMotion);
    pose.isBlinking = m_isBlinking;
    return pose;
}

void LogoCat::restart()
{
    if (!m_reduceMotion)
        m_since = m_ticker.clock().monotonic();
    m_isBlinking = false;
    m_blink.cancel();
    m_tick.reset();
    if (isVisible()) {
        if (!m_reduceMotion)
            m_tick = m_ticker.subscribe(ViewTicker::Period::frame, [this] { update(); });
        scheduleBlink();
    }
    update();
}

void LogoCat::scheduleBlink()
{
    if (!LogoCatMotion::blinks(m_expression, m_reduceMotion))
        return;
    const auto wait = std::chrono::milliseconds(
        QRandomGenerator::global()->bounded(int(kBlinkMin.count()), int(kBlinkMax.count()) + 1));
    m_blink = ScheduledTimer(m_scheduler, m_scheduler.schedule(wait, [this] {
        m_isBlinking = true;
        update();
        m_blink = ScheduledTimer(m_scheduler, m_scheduler.schedule(kBlinkLength, [this] {
            m_isBlinking = false;
            update();
            scheduleBlink();
        }));
    }));
}

void LogoCat::paint(QPainter& painter, Expression expression, const LogoCatGrid::Pose& pose, int height)
{
    const double scale = double(widthFor(height)) / LogoCatGrid::kWindowWidth;
    painter.save();
    for (const LogoCatGrid::Cell& cell : LogoCatGrid::cells(expression, pose)) {
        painter.setOpacity(std::clamp(cell.opacity, 0.0, 1.0));
        painter.fillRect(LogoCatGrid::pixelRect(cell, scale), cell.colour.toQColor());
    }
    painter.restore();
}

void LogoCat::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, m_expression, pose(), m_height);
}

void LogoCat::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    restart();
}

void LogoCat::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_tick.reset();
    m_blink.cancel();
    m_isBlinking = false;
}

} // namespace velquist
