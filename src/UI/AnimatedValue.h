#pragma once

#include <QObject>
#include <QVariantAnimation>

namespace velquist {

// One animated quantity of the panel on the panel's motion curve. A new target starts a new run
// from wherever the value is now, so an interrupted open turns smoothly into a close.
class AnimatedValue : public QObject
{
    Q_OBJECT
  public:
    explicit AnimatedValue(qreal initial, QObject* parent = nullptr);

    qreal value() const { return m_value; }
    qreal target() const { return m_target; }
    bool isRunning() const { return m_animation.state() == QAbstractAnimation::Running; }
    // Moves toward `target` over the motion's duration; no run when already there or headed there.
    void animateTo(qreal target);
    // Sets the value at once, stopping any run.
    void jumpTo(qreal value);
    // Moves a running animation to `msec` into its run, as if that much time had passed (for
    // pictures and measurements of a moment mid-run).
    void seek(int msec);
    // Whether targets are reached at once (for tests and pictures); a run under way ends at once.
    void setImmediate(bool immediate);

  Q_SIGNALS:
    void changed(qreal value);

  private:
    void set(qreal value);

    QVariantAnimation m_animation;
    qreal m_value;
    qreal m_target;
    bool m_immediate = false;
};

} // namespace velquist
