#pragma once

#include "Settings/SettingsTab.h"

#include <QWidget>
#include <vector>

class QAbstractButton;

namespace velquist {

// The tab bar across the top of the settings window: one button per tab, in the tabs' order,
// each a coloured tile with its symbol over the tab's title. The selected tab sits on a faint
// rounded backdrop; the whole backdrop is the button's hit area.
class SettingsToolbar final : public QWidget
{
    Q_OBJECT

  public:
    explicit SettingsToolbar(SettingsTab selection, QWidget* parent = nullptr);

    SettingsTab selection() const { return m_selection; }
    // Marks `tab` selected without announcing it.
    void setSelection(SettingsTab tab);
    // The button of `tab`; its text and accessible name are the tab's title.
    QAbstractButton* button(SettingsTab tab) const;

  Q_SIGNALS:
    // The user chose `tab` (also when it was already selected).
    void tabChosen(SettingsTab tab);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    SettingsTab m_selection;
    std::vector<QAbstractButton*> m_buttons;
};

} // namespace velquist
