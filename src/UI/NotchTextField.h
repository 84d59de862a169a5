#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QWindow>
#include <cstdint>
#include <optional>

namespace velquist {

class AttentionCoordinator;
class FocusReturn;

// The one control of a notch panel that takes typing (the plan card's feedback row). While it is
// on screen its panel accepts the keyboard and the coordinator keeps every panel expanded; when it
// goes, also with its panel, the keyboard goes back to the window that had it. Plain text only.
class NotchTextField final : public QLineEdit
{
    Q_OBJECT
  public:
    // Outside a notch panel (a preview window) the field takes no focus and reports no text entry.
    // Either service may be null: focus is then handled without it.
    NotchTextField(AttentionCoordinator* coordinator, FocusReturn* focusReturn, QWidget* parent = nullptr);
    ~NotchTextField() override;

    // Whether the field holds its panel's keyboard now.
    bool holdsFocus() const { return m_holds; }

  Q_SIGNALS:
    // Return was pressed; text() holds the final text.
    void submitted();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void takeFocus();
    void giveBack();

    QPointer<AttentionCoordinator> m_coordinator;
    FocusReturn* m_focusReturn;
    QPointer<QWindow> m_panel;
    std::optional<std::uint32_t> m_returnTo;
    bool m_holds = false;
    bool m_asked = false;
};

} // namespace velquist
