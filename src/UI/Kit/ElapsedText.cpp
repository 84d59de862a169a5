#include "UI/Kit/ElapsedText.h"

#include "UI/Kit/AuroraStyle.h"

#include <QPainter>
#include <QtMath>

namespace velquist {

ElapsedText::ElapsedText(Clock::WallTime since, ViewTicker& ticker, QWidget* parent)
    : QWidget(parent), m_since(since), m_ticker(ticker)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    refresh();
}

std::string ElapsedText::format(Clock::WallTime from, Clock::WallTime to)
{
    using namespace std::chrono;
    const std::int64_t m = std::max<std::int64_t>(0, duration_cast<seconds>(to - from).count() / 60);
    if (m < 60)
        return std::to_string(m) + "m";
    if (m < 1440)
        return std::to_string(m / 60) + "h " + std::to_string(m % 60) + "m";
    return std::to_string(m / 1440) + "d " + std::to_string((m / 60) % 24) + "h";
}

void ElapsedText::setSince(Clock::WallTime since)
{
    m_since = since;
    refresh();
}

void ElapsedText::refresh()
{
    const QString text = QString::fromStdString(format(m_since, m_ticker.clock().now()));
    if (text == m_text)
        return;
    const bool wider = text.size() != m_text.size();
    m_text = text;
    if (wider)
        updateGeometry();
    update();
}

QSize ElapsedText::sizeHint() const
{
    const QSizeF size = AuroraStyle::pillSize(m_text);
    return QSize(qCeil(size.width()), qCeil(size.height()));
}

void ElapsedText::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    AuroraStyle::paintMetaPill(painter, rect(), m_text, AuroraStyle::pillFill(), AuroraStyle::pillText());
}

void ElapsedText::showEvent(QShowEvent*)
{
    refresh();
    m_subscription = m_ticker.subscribe(ViewTicker::Period::minute, [this] { refresh(); });
}

void ElapsedText::hideEvent(QHideEvent*)
{
    m_subscription.reset();
}

} // namespace velquist
