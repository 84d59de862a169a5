#include "Core/PrivacyGuard.h"

#include "Platform/DisplayMirroring.h"
#include "Platform/UserDefaults.h"
#include "Shared/Log.h"

namespace velquist {

namespace {
constexpr const char* manualKey = "privacyModeOn";
constexpr const char* suppressKey = "privacySuppressWhenMirroring";
} // namespace

PrivacyGuard::PrivacyGuard(UserDefaults& defaults, DisplayMirroring& mirroring, QObject* parent)
    : QObject(parent), m_defaults(defaults), m_mirroring(mirroring)
{
    m_suppressWhenMirroring = m_defaults.boolValue(suppressKey).value_or(true);
    // Manual privacy never survives a relaunch.
    m_defaults.setValue(manualKey, false);
    m_mirroring.observeDisplayChanges(this, [this] { refreshMirroring(); });
    refreshMirroring();
}

bool PrivacyGuard::isActive() const
{
    return m_isManuallyOn || (m_suppressWhenMirroring && m_isMirroring && !m_isMirroringOverridden);
}

std::optional<PrivacyGuard::Reason> PrivacyGuard::reason() const
{
    if (m_isManuallyOn)
        return Reason::manual;
    if (m_suppressWhenMirroring && m_isMirroring)
        return Reason::mirroring;
    return std::nullopt;
}

template <typename Change> void PrivacyGuard::observed(Change change)
{
    const bool wasActive = isActive();
    const auto wasReason = reason();
    change();
    if (wasActive != isActive() || wasReason != reason())
        Q_EMIT stateChanged();
}

void PrivacyGuard::setManuallyOn(bool value)
{
    observed([&] { m_isManuallyOn = value; });
    m_defaults.setValue(manualKey, value);
    Log::debug("privacy", value ? "manual on" : "manual off");
    Q_EMIT changed();
}

void PrivacyGuard::setActive(bool active)
{
    if (active) {
        observed([&] { m_isMirroringOverridden = false; });
        setManuallyOn(true);
        return;
    }
    setManuallyOn(false);
    if (m_suppressWhenMirroring && m_isMirroring) {
        observed([&] { m_isMirroringOverridden = true; });
        Q_EMIT changed();
    }
}

void PrivacyGuard::setSuppressWhenMirroring(bool value)
{
    observed([&] { m_suppressWhenMirroring = value; });
    m_defaults.setValue(suppressKey, value);
    Q_EMIT changed();
}

void PrivacyGuard::refreshMirroring()
{
    m_mirroring.queryMirroring(this, [this](std::optional<bool> mirrored) {
        // An unreadable display list leaves the state as it was.
        if (mirrored)
            applyMirroring(*mirrored);
    });
}

void PrivacyGuard::applyMirroring(bool mirrored)
{
    if (mirrored == m_isMirroring)
        return;
    observed([&] {
        m_isMirroring = mirrored;
        if (!mirrored)
            m_isMirroringOverridden = false;
    });
    Log::debug("privacy", mirrored ? "mirroring detected" : "mirroring cleared");
    Q_EMIT changed();
}

} // namespace velquist
