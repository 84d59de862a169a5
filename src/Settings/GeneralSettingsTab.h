#pragma once

#include "Characters/NotchCharacter.h"
#include "Settings/SettingsForm.h"

#include <functional>
#include <vector>

class QComboBox;
class QLabel;
class QMessageBox;
class QPushButton;

namespace velquist {

class DefaultsWatch;
class DisplaySettingsSection;
class LoginItem;
class OpeningSettingsSection;
class ScreenProvider;
class SettingsSwitch;
class UserDefaults;

// The General tab: starting at login, where and how the panel shows (the display and opening
// sections), what the notch's corner shows, and removing the application. It needs no running
// service, so it is complete however early the window opens. Showing it writes nothing; every
// control writes its setting when the user changes it.
class GeneralSettingsTab final : public SettingsForm
{
    Q_OBJECT

  public:
    struct Services
    {
        UserDefaults& defaults;
        LoginItem& loginItem;
        const ScreenProvider& screens;
        // The character packs the picker offers, in the catalog's order.
        std::vector<NotchCharacter> characters;
        // Removes the application and quits; called once the user has confirmed.
        std::function<void()> removeEverything;
    };

    static constexpr const char* selectedCharacterKey = "selectedCharacterId";

    explicit GeneralSettingsTab(Services services, QWidget* parent = nullptr);

    SettingsSwitch& loginSwitch() const { return *m_login; }
    // Why the last change of the login switch failed; hidden while it has not.
    QLabel& loginError() const { return *m_loginError; }
    DisplaySettingsSection& displaySection() const { return *m_display; }
    OpeningSettingsSection& openingSection() const { return *m_opening; }
    QComboBox& characterPicker() const { return *m_character; }
    QLabel& usageNote() const { return *m_usageNote; }
    QPushButton& removeButton() const { return *m_remove; }
    // The removal's confirmation while it is open; none otherwise.
    QMessageBox* confirmation() const;

  private:
    void addLoginSection();
    void addCornerSection();
    void addRemovalSection();
    void loginSwitched(bool on);
    // Shows the stored corner choice, without writing it.
    void showCharacter();
    void confirmRemoval();

    Services m_services;
    SettingsSwitch* m_login = nullptr;
    QLabel* m_loginError = nullptr;
    DisplaySettingsSection* m_display = nullptr;
    OpeningSettingsSection* m_opening = nullptr;
    QComboBox* m_character = nullptr;
    QLabel* m_usageNote = nullptr;
    QPushButton* m_remove = nullptr;
    DefaultsWatch* m_watch = nullptr;
};

} // namespace velquist
