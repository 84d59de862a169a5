#pragma once

#include <QObject>
#include <optional>

namespace velquist {

class DisplayMirroring;
class UserDefaults;

// Privacy mode: while it is on the panel stays collapsed and alerts and interface sounds stay
// silent. On when the user switches it on, or while a display is mirrored unless the user has
// switched it off for this mirroring. Main thread.
class PrivacyGuard final : public QObject
{
    Q_OBJECT
  public:
    enum class Reason { manual, mirroring };

    // Reads the displays once and follows their changes.
    PrivacyGuard(UserDefaults& defaults, DisplayMirroring& mirroring, QObject* parent = nullptr);

    bool isActive() const;
    std::optional<Reason> reason() const;
    bool isManuallyOn() const { return m_isManuallyOn; }
    bool isMirroring() const { return m_isMirroring; }
    bool isMirroringOverridden() const { return m_isMirroringOverridden; }
    bool suppressWhenMirroring() const { return m_suppressWhenMirroring; }

    // The user's switch. Off while mirroring forces the mode on keeps it off until the mirroring ends.
    void setActive(bool active);
    void setSuppressWhenMirroring(bool value);
    // Reads the displays again.
    void refreshMirroring();

  Q_SIGNALS:
    // After any input of the mode was assigned, equal values included (the status item's refresh).
    void changed();
    // Only when isActive() or reason() really changed.
    void stateChanged();

  private:
    void setManuallyOn(bool value);
    void applyMirroring(bool mirrored);
    // Runs `change`, then tells observers when the state they see moved.
    template <typename Change> void observed(Change change);

    UserDefaults& m_defaults;
    DisplayMirroring& m_mirroring;
    bool m_isManuallyOn = false;
    bool m_suppressWhenMirroring = true;
    bool m_isMirroring = false;
    bool m_isMirroringOverridden = false;
};

} // namespace velquist
