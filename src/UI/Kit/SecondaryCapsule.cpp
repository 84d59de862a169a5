#include "UI/Kit/SecondaryCapsule.h"

#include "UI/Kit/AuroraStyle.h"

#include <QPainter>

namespace velquist {

SecondaryCapsule::SecondaryCapsule(const QString& label, const QString& icon, bool enabled, QWidget* parent)
    : QAbstractButton(parent), m_icon(icon)
{
    setText(label);
    setEnabled(enabled);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SecondaryCapsule::sizeHint() const
{
    return AuroraStyle::capsuleSize(text(), m_icon).toSize();
}

void SecondaryCapsule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    AuroraStyle::paintSecondaryCapsule(painter, rect(), text(), m_icon, isEnabled());
}

} // namespace velquist
