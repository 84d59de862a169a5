#pragma once

#include <QWidget>

namespace velquist {

// A small picture of what gives window access on Linux: a breadcrumb to the log-in screen's
// session choice above one row, "X11 with a window manager", marked as the one to choose, or
// checked when the desktop already lets us see and raise windows. Drawn for a dark background.
class AccessibilityGuide final : public QWidget
{
    Q_OBJECT
  public:
    explicit AccessibilityGuide(bool granted, QWidget* parent = nullptr);

    bool isOn() const { return m_granted; }
    QSize sizeHint() const override;

    // The mark's colour.
    static QColor live();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool m_granted;
};

} // namespace velquist
