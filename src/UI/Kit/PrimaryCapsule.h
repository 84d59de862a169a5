#pragma once

#include <QAbstractButton>
#include <QColor>

namespace velquist {

// The main action of a card: dark label on a capsule of the session's signal colour. `clicked` is
// its action, emitted once per press.
class PrimaryCapsule : public QAbstractButton
{
    Q_OBJECT
  public:
    PrimaryCapsule(const QString& label, const QString& icon, const QColor& signal,
                   QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    QColor signal() const { return m_signal; }
    void setSignal(const QColor& signal);
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_icon;
    QColor m_signal;
};

} // namespace velquist
