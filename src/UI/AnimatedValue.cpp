#include "UI/AnimatedValue.h"

#include "UI/NotchMotion.h"

namespace velquist {

AnimatedValue::AnimatedValue(qreal initial, QObject* parent)
    : QObject(parent), m_value(initial), m_target(initial)
{
    m_animation.setEasingCurve(NotchMotion::presentation());
    m_animation.setDuration(NotchMotion::kDurationMs);
    connect(&m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        if (m_animation.state() == QAbstractAnimation::Running)
            set(value.toReal());
    });
    connect(&m_animation, &QVariantAnimation::finished, this, [this] { set(m_target); });
}

void AnimatedValue::animateTo(qreal target)
{
    if (qFuzzyCompare(target + 1, m_target + 1) && (isRunning() || qFuzzyCompare(m_value + 1, target + 1)))
        return;
    m_target = target;
    m_animation.stop();
    if (m_immediate) {
        set(target);
        return;
    }
    m_animation.setStartValue(m_value);
    m_animation.setEndValue(target);
    m_animation.start();
}

void AnimatedValue::seek(int msec)
{
    if (!isRunning())
        return;
    m_animation.setCurrentTime(msec);
    if (msec >= m_animation.duration())
        m_animation.stop();
    set(msec >= m_animation.duration() ? m_target : m_animation.currentValue().toReal());
}

void AnimatedValue::setImmediate(bool immediate)
{
    m_immediate = immediate;
    if (immediate && isRunning())
        jumpTo(m_target);
}

void AnimatedValue::jumpTo(qreal value)
{
    m_animation.stop();
    m_target = value;
    set(value);
}

void AnimatedValue::set(qreal value)
{
    if (value == m_value)
        return;
    m_value = value;
    Q_EMIT changed(value);
}

} // namespace velquist
