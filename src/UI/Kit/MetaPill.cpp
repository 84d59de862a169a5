#include "UI/Kit/MetaPill.h"

#include "UI/Kit/AuroraStyle.h"

#include <QPainter>

namespace velquist {

MetaPill::MetaPill(const QString& text, const QColor& fill, const QColor& textColor, QWidget* parent)
    : QWidget(parent), m_text(text), m_fill(fill), m_textColor(textColor)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void MetaPill::setText(const QString& text)
{
    if (text == m_text)
        return;
    m_text = text;
    updateGeometry();
    update();
}

QSize MetaPill::sizeHint() const
{
    return AuroraStyle::pillSize(m_text).toSize();
}

void MetaPill::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    AuroraStyle::paintMetaPill(painter, rect(), m_text, m_fill, m_textColor);
}

} // namespace velquist
