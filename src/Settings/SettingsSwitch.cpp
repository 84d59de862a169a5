#include "Settings/SettingsSwitch.h"

#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/Palette.h"
#include "UI/Kit/SettingsStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>

namespace velquist {

namespace {

constexpr qreal kToggleWidth = 34;
constexpr qreal kToggleHeight = 20;

} // namespace

SettingsSwitch::SettingsSwitch(const QString& title, QWidget* parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setText(title);
    setFont(SettingsStyle::bodyFont());
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(title.isEmpty() ? QSizePolicy::Fixed : QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (title.isEmpty())
        setAccessibleName(QStringLiteral("Switch"));
}

void SettingsSwitch::setCheckedQuietly(bool checked)
{
    const QSignalBlocker blocker(this);
    setChecked(checked);
}

QSize SettingsSwitch::sizeHint() const
{
    const int textWidth = text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(text()) + 12;
    return {textWidth + int(kToggleWidth) + 2, std::max(int(kToggleHeight) + 4, fontMetrics().height() + 4)};
}

QSize SettingsSwitch::minimumSizeHint() const
{
    return {int(kToggleWidth) + 2, int(kToggleHeight) + 4};
}

QRectF SettingsSwitch::toggleRect() const
{
    return {width() - kToggleWidth - 1, (height() - kToggleHeight) / 2.0, kToggleWidth, kToggleHeight};
}

bool SettingsSwitch::hitButton(const QPoint& pos) const
{
    return toggleRect().adjusted(-4, -4, 4, 4).contains(pos);
}

void SettingsSwitch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!text().isEmpty()) {
        painter.setPen(isEnabled() ? SettingsStyle::primaryText() : SettingsStyle::secondaryText());
        const QRectF textRect(0, 0, toggleRect().left() - 8, height());
        painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, int(textRect.width())));
    }
    const QRectF track = toggleRect();
    QPainterPath trackPath;
    AuroraStyle::addCapsule(trackPath, track);
    QColor fill = isChecked() ? SettingsStyle::accent() : Palette::switchTrackOff();
    if (!isEnabled())
        fill.setAlphaF(fill.alphaF() * 0.5f);
    painter.fillPath(trackPath, fill);
    if (SettingsStyle::showsFocusRing(*this)) {
        painter.setPen(QPen(SettingsStyle::accent().lighter(140), 1.5));
        painter.drawPath(trackPath);
    }
    const qreal knob = kToggleHeight - 4;
    const qreal x = isChecked() ? track.right() - 2 - knob : track.left() + 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(isEnabled() ? Palette::switchKnob() : Palette::switchKnobDisabled());
    painter.drawEllipse(QRectF(x, track.top() + 2, knob, knob));
}

} // namespace velquist
