#pragma once

#include <QPainterPath>
#include <QRegion>
#include <QWidget>

namespace velquist {

class PanelShaper;

// The window of one notch panel: frameless, above every other window, never activated by showing
// or clicking, placed by us rather than by the window manager, and taking the keyboard only while
// the notch text field is typed into. Outside the notch's outline, clicks pass through to the
// windows below; without a compositor the window is also cut to that outline, since see-through
// pixels would show black. Main thread.
class NotchPanel final : public QWidget
{
    Q_OBJECT
  public:
    explicit NotchPanel(PanelShaper& shaper, QWidget* parent = nullptr);
    ~NotchPanel() override;

    // Whether the window may take the keyboard now (the text field switches it on and off).
    bool allowsKeyForTextEntry() const;
    void setAllowsKeyForTextEntry(bool allows);

    // The notch as drawn now, in this window's coordinates: the only part that takes clicks.
    void setNotchOutline(const QPainterPath& outline);
    const QRegion& inputRegion() const { return m_inputRegion; }
    // Whether the window draws see-through pixels (a compositor runs) or is cut to the outline.
    bool isTranslucent() const { return m_translucent; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void applyShape();

    PanelShaper& m_shaper;
    const bool m_translucent;
    QRegion m_inputRegion;
    WId m_preparedWindow = 0;
};

} // namespace velquist
