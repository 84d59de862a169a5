#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

class QSlider;

namespace velquist {

class SettingsSwitch;
class SoundPlayer;
class SoundSettings;

// The settings window's "Sounds" tab: the master switch and volume, a sound and a preview for each
// event, and quiet hours. It keeps no state: every control reads and writes the sound settings,
// which save themselves, and follows their changes. Without settings (start-up has not made them
// yet) it shows only a notice; without a player the previews do nothing.
class SoundSettingsTab final : public QWidget
{
  public:
    SoundSettingsTab(SoundSettings* settings, SoundPlayer* player, QWidget* parent = nullptr);

    // The volume slider's resolution: 0 to 1 in this many steps.
    static constexpr int kVolumeSteps = 1000;

  private:
    void refresh();

    QPointer<SoundSettings> m_settings;
    SettingsSwitch* m_enabled = nullptr;
    QSlider* m_volume = nullptr;
    SettingsSwitch* m_quietHours = nullptr;
    // The "From" and "Until" rows, shown while quiet hours are on.
    std::vector<QWidget*> m_quietRows;
    QWidget* m_quietNow = nullptr;
    // Each refreshes its row from the settings.
    std::vector<std::function<void()>> m_rowRefreshers;
};

} // namespace velquist
