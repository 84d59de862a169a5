#include "UI/Kit/PrimaryCapsule.h"

#include "UI/Kit/AuroraStyle.h"

#include <QPainter>

namespace velquist {

PrimaryCapsule::PrimaryCapsule(const QString& label, const QString& icon, const QColor& signal,
                               QWidget* parent)
    : QAbstractButton(parent), m_icon(icon), m_signal(signal)
{
    setText(label);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PrimaryCapsule::setSignal(const QColor& signal)
{
    if (signal == m_signal)
        return;
    m_signal = signal;
    update();
}

QSize PrimaryCapsule::sizeHint() const
{
    return AuroraStyle::capsuleSize(text(), m_icon).toSize();
}

void PrimaryCapsule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    AuroraStyle::paintPrimaryCapsule(painter, rect(), text(), m_icon, m_signal);
}

} // namespace velquist
