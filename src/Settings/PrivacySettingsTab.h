#pragma once

#include <QPointer>
#include <QWidget>

namespace velquist {

class AttentionCoordinator;
class GlyphLabel;
class PrivacyGuard;
class SettingsSwitch;

// The settings window's "Privacy" tab: privacy mode, why it is on, and whether mirrored displays
// turn it on by themselves. It follows the guard, so a change from the status menu or a mirroring
// that starts or ends shows at once. Without a guard it shows only a notice.
class PrivacySettingsTab final : public QWidget
{
  public:
    // `coordinator` (may be none) is told when the user's switch-off leaves privacy mode off.
    PrivacySettingsTab(PrivacyGuard* privacy, AttentionCoordinator* coordinator, QWidget* parent = nullptr);

  private:
    void refresh();

    QPointer<PrivacyGuard> m_privacy;
    QPointer<AttentionCoordinator> m_coordinator;
    SettingsSwitch* m_mode = nullptr;
    GlyphLabel* m_status = nullptr;
    QWidget* m_statusRow = nullptr;
    SettingsSwitch* m_automatic = nullptr;
};

} // namespace velquist
