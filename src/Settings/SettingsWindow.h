#pragma once

#include "Settings/SettingsTab.h"

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

class QVBoxLayout;
class QVariant;

namespace velquist {

class SettingsToolbar;

// The settings window: the tab bar, a divider, and the selected tab's page below, 480 points wide
// and at least 480 high. An ordinary window that takes the focus. Closing it only hides it (the
// same native window comes back), and the selected tab survives until it is opened again.
//
// Each tab's page comes from a factory installed by whoever owns the services it edits. A page is
// built afresh whenever its tab is selected and whenever the window is shown again, so it reads its
// state anew; the previous page is deleted then. A tab without a factory shows an empty page: the
// tabs are installed as the code that edits them is wired, and no placeholder stands in for them.
class SettingsWindow final : public QWidget
{
    Q_OBJECT

  public:
    // Builds a new page; the window takes ownership of it.
    using PageFactory = std::function<QWidget*()>;

    // Other code may switch the visible tab by posting this with a tab's case name.
    static constexpr const char* selectTabNotification = "velquist.selectSettingsTab";

    static constexpr int kWidth = 480;
    static constexpr int kMinimumHeight = 480;

    explicit SettingsWindow(SettingsTab selection = SettingsTab::general, QWidget* parent = nullptr);
    ~SettingsWindow() override;

    // Installs the page of `tab`; the page is rebuilt at once when the tab is the selected one of
    // a window on screen.
    void setPageFactory(SettingsTab tab, PageFactory factory);

    SettingsTab selection() const { return m_selection; }
    // Selects `tab` and builds its page (again, when it was already selected).
    void setSelection(SettingsTab tab);
    // The selected tab's current page; none when its tab has no factory.
    QWidget* page() const { return m_page; }
    SettingsToolbar& toolbar() const { return *m_toolbar; }

    // Shows the window, raised and focused, as it was left: the first time centred on the screen
    // under the pointer, afterwards where the user last had it.
    void present();

  public Q_SLOTS:
    // The select-tab notice: a string that is a tab's case name selects that tab; anything else
    // (no object, another type, an unknown name) is ignored.
    void selectTabRequested(const QVariant& object);

  Q_SIGNALS:
    void selectionChanged(SettingsTab tab);

  protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void rebuildPage();
    QPoint centredPlace() const;

    SettingsTab m_selection;
    SettingsToolbar* m_toolbar;
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_page;
    std::array<PageFactory, SettingsTabs::all.size()> m_factories;
    // Where the window was when it was last closed; none until it has been shown.
    std::optional<QPoint> m_place;
};

} // namespace velquist
