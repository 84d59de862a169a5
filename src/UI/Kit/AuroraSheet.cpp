#include "UI/Kit/AuroraSheet.h"

#include "UI/Kit/AuroraStyle.h"

#include <QPainter>

namespace velquist {

AuroraSheet::AuroraSheet(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void AuroraSheet::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), AuroraStyle::sheet());
}

} // namespace velquist
