#pragma once

#include <QWidget>

namespace velquist {

// A small picture of where the desktop's window control stands for this application: a
// breadcrumb above one row with the application's icon, its name and a switch. The switch shows
// the real state (on when the desktop lets us see and raise windows) and never pretends a grant.
// Drawn for a dark background.
class AccessibilityGuide final : public QWidget
{
    Q_OBJECT
  public:
    explicit AccessibilityGuide(bool granted, QWidget* parent = nullptr);

    bool isOn() const { return m_granted; }
    QSize sizeHint() const override;

    // The switch's track when on.
    static QColor live();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool m_granted;
};

} // namespace velquist
