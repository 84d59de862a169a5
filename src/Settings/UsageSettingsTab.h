#pragma once

#include "Usage/ClaudeUsageModels.h"
#include "Usage/UsageProvider.h"

#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>

class QPushButton;
class QVBoxLayout;

namespace velquist {

class Clock;
class SettingsPicker;
class SettingsSection;
class SettingsSwitch;
class UsageStore;

// The settings window's "Usage" tab: whether usage is watched, whose account and when to warn,
// where the numbers come from, and the last reading or failure with "Check now". It keeps no state
// of its own: the controls read and write the usage store, which keeps the settings, and the tab
// follows the store's every change. Without a store it shows only a notice.
class UsageSettingsTab final : public QWidget
{
  public:
    // `clock` gives the time left until each window resets.
    UsageSettingsTab(UsageStore* store, const Clock& clock, QWidget* parent = nullptr);

    // The text shown for a failed read of `provider`'s account.
    static QString message(const UsageError& error, UsageProvider provider);
    // "43% used, resets in 2h 15m"; the percentage rounded half away from zero.
    static QString windowValue(double usagePercent, const std::optional<std::string>& timeRemaining);

  private:
    void refresh();
    void refreshStatus();
    void addStatusLine(QWidget* line);

    QPointer<UsageStore> m_store;
    const Clock& m_clock;
    SettingsSwitch* m_enabled = nullptr;
    SettingsPicker* m_provider = nullptr;
    SettingsPicker* m_threshold = nullptr;
    QWidget* m_providerRow = nullptr;
    QWidget* m_thresholdRow = nullptr;
    SettingsSection* m_main = nullptr;
    SettingsSection* m_status = nullptr;
    QVBoxLayout* m_statusLines = nullptr;
    QPushButton* m_checkNow = nullptr;
};

} // namespace velquist
