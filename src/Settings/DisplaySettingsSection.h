#pragma once

#include "Settings/SettingsSection.h"

#include <QString>
#include <optional>
#include <string>
#include <vector>

class QComboBox;

namespace velquist {

class DefaultsWatch;
class ScreenProvider;
class SettingsSwitch;
class UserDefaults;
struct ScreenInfo;

// Where the notch panels appear and when their bar hides: the placement picker and two switches,
// each bound to its stored setting ("displayMode", "hidesOverFullScreen", "hidesWhenIdle"). The
// panels follow every change of the settings, so a choice here takes effect at once. The picker
// offers every attached screen, and a row for a stored screen that is not attached, so the stored
// choice always shows and is never rewritten behind the user's back.
class DisplaySettingsSection final : public SettingsSection
{
    Q_OBJECT

  public:
    // One screen row of the picker.
    struct ScreenOption
    {
        // What choosing the row stores under "displayMode".
        QString tag;
        QString name;
        bool isAttached = true;

        bool operator==(const ScreenOption&) const = default;
    };

    static constexpr const char* displayModeKey = "displayMode";
    static constexpr const char* hidesOverFullScreenKey = "hidesOverFullScreen";
    static constexpr const char* hidesWhenIdleKey = "hidesWhenIdle";
    static constexpr const char* notConnectedSuffix = " (not connected)";

    DisplaySettingsSection(UserDefaults& defaults, const ScreenProvider& screens, QWidget* parent = nullptr);

    // The picker's screen rows: every attached screen that has an identity, in the desktop's order,
    // then at most one row for a stored screen choice that no attached screen answers.
    static std::vector<ScreenOption> screenOptions(const std::vector<ScreenInfo>& screens,
                                                   const std::optional<std::string>& displayMode);
    // A screen's name as the desktop describes it: maker and model, else its connector.
    static QString screenName(const ScreenInfo& screen);

    // Reads the attached screens again; called when screens come, go or change.
    void reloadScreens();

    QComboBox& placementPicker() const { return *m_picker; }
    SettingsSwitch& fullScreenSwitch() const { return *m_fullScreen; }
    SettingsSwitch& idleSwitch() const { return *m_idle; }
    const std::vector<ScreenOption>& screens() const { return m_screens; }

  private:
    void fillPicker();
    // Shows the stored values, without writing any.
    void showStored();
    void watchScreens();

    UserDefaults& m_defaults;
    const ScreenProvider& m_screenProvider;
    std::vector<ScreenOption> m_screens;
    QComboBox* m_picker;
    SettingsSwitch* m_fullScreen;
    SettingsSwitch* m_idle;
    DefaultsWatch* m_watch;
};

} // namespace velquist
