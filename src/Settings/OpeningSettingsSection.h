#pragma once

#include "Settings/SettingsSection.h"

class QComboBox;
class QLabel;

namespace velquist {

class DefaultsWatch;
class SettingsSwitch;
class UserDefaults;

// How the panel opens: on hover or on a click ("expandTrigger"), and whether it opens by itself
// when an agent needs the user ("opensOnAttention"). Their readers take the value at each decision,
// so a change applies to the next hover, click or alert.
class OpeningSettingsSection final : public SettingsSection
{
    Q_OBJECT

  public:
    static constexpr const char* expandTriggerKey = "expandTrigger";
    static constexpr const char* opensOnAttentionKey = "opensOnAttention";

    explicit OpeningSettingsSection(UserDefaults& defaults, QWidget* parent = nullptr);

    QComboBox& triggerPicker() const { return *m_trigger; }
    SettingsSwitch& attentionSwitch() const { return *m_attention; }
    QLabel& clickNote() const { return *m_clickNote; }
    QLabel& attentionNote() const { return *m_attentionNote; }

  private:
    // Shows the stored values, without writing any.
    void showStored();

    UserDefaults& m_defaults;
    QComboBox* m_trigger;
    QLabel* m_clickNote;
    SettingsSwitch* m_attention;
    QLabel* m_attentionNote;
    DefaultsWatch* m_watch;
};

} // namespace velquist
