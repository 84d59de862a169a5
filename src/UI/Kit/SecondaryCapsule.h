#pragma once

#include <QAbstractButton>

namespace velquist {

// A quieter action: light label on a faint outlined capsule. Disabled (QWidget::setEnabled) it dims
// its label and takes no presses; `clicked` is its action.
class SecondaryCapsule : public QAbstractButton
{
    Q_OBJECT
  public:
    SecondaryCapsule(const QString& label, const QString& icon, bool enabled = true,
                     QWidget* parent = nullptr);

    QString icon() const { return m_icon; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_icon;
};

} // namespace velquist
