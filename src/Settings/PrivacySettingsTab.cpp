#include "Settings/PrivacySettingsTab.h"

#include "Core/AttentionCoordinator.h"
#include "Core/PrivacyGuard.h"
#include "Settings/SettingsForm.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "UI/Kit/GlyphLabel.h"
#include "UI/PrivacySwitch.h"

#include <QVBoxLayout>

namespace velquist {

PrivacySettingsTab::PrivacySettingsTab(PrivacyGuard* privacy, AttentionCoordinator* coordinator,
                                       QWidget* parent)
    : QWidget(parent), m_privacy(privacy), m_coordinator(coordinator)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    layout->addWidget(form);
    if (!privacy) {
        form->addLine(QStringLiteral("Privacy mode is available once the app has finished launching."));
        return;
    }

    SettingsSection* mode = form->addSection();
    m_mode = mode->addSwitch(QStringLiteral("Privacy mode"));
    m_status = SettingsSection::calloutGlyphLabel(QStringLiteral("eye.slash.fill"), {});
    m_statusRow = mode->addRow(m_status);
    mode->setFooter(QStringLiteral("The notch never opens and nothing plays; sessions keep running."));

    SettingsSection* automatic = form->addSection(QStringLiteral("Automatic"));
    m_automatic = automatic->addSwitch(QStringLiteral("Turn on automatically while displays are mirrored"));
    automatic->setFooter(QStringLiteral(
        "Only mirroring can be detected. For window sharing in a call, use the switch above."));

    connect(m_mode, &SettingsSwitch::toggled, this, [this](bool on) {
        if (m_privacy)
            switchPrivacy(*m_privacy, on, m_coordinator);
        // The guard may not notify (nothing changed for it), and the switch must still show its state.
        refresh();
    });
    connect(m_automatic, &SettingsSwitch::toggled, this, [this](bool on) {
        if (m_privacy)
            m_privacy->setSuppressWhenMirroring(on);
    });
    connect(privacy, &PrivacyGuard::changed, this, &PrivacySettingsTab::refresh);
    connect(privacy, &PrivacyGuard::stateChanged, this, &PrivacySettingsTab::refresh);
    refresh();
}

void PrivacySettingsTab::refresh()
{
    if (!m_privacy)
        return;
    const bool active = m_privacy->isActive();
    m_mode->setCheckedQuietly(active);
    m_statusRow->setVisible(active);
    m_status->setText(m_privacy->reason() == PrivacyGuard::Reason::mirroring
                          ? QStringLiteral("Active - displays are mirrored")
                          : QStringLiteral("Active - the notch is staying shut"));
    m_automatic->setCheckedQuietly(m_privacy->suppressWhenMirroring());
}

} // namespace velquist
