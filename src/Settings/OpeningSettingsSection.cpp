#include "Settings/OpeningSettingsSection.h"

#include "Core/DefaultsWatch.h"
#include "Platform/UserDefaults.h"
#include "Settings/AppSettings.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSwitch.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

namespace velquist {

OpeningSettingsSection::OpeningSettingsSection(UserDefaults& defaults, QWidget* parent)
    : SettingsSection(QStringLiteral("Opening"), parent), m_defaults(defaults), m_trigger(new SettingsPicker),
      m_watch(new DefaultsWatch(defaults, {expandTriggerKey, opensOnAttentionKey}, this))
{
    m_trigger->addItem(QStringLiteral("When I hover it"), QStringLiteral("hover"));
    m_trigger->addItem(QStringLiteral("When I click it"), QStringLiteral("click"));
    addRow(QStringLiteral("Open the panel"), m_trigger);
    m_clickNote = addNote(QStringLiteral("Opens on a click; closes when the pointer leaves."));
    m_attention = addSwitch(QStringLiteral("Open on its own when an agent needs you"));
    m_attentionNote = addNote(QStringLiteral("Sounds and bar signals still announce."));

    connect(m_trigger, &QComboBox::activated, this, [this](int index) {
        m_defaults.setValue(expandTriggerKey, m_trigger->itemData(index).toString().toStdString());
        showStored();
    });
    connect(m_attention, &QAbstractButton::toggled, this, [this](bool on) {
        m_defaults.setValue(opensOnAttentionKey, on);
        showStored();
    });
    connect(m_watch, &DefaultsWatch::changed, this, &OpeningSettingsSection::showStored);
    showStored();
}

void OpeningSettingsSection::showStored()
{
    const auto trigger = m_defaults.stringValue(expandTriggerKey);
    // An unknown text selects no row; the panel reads it as hover.
    const QString raw = QString::fromStdString(trigger.value_or("hover"));
    {
        const QSignalBlocker blocker(m_trigger);
        m_trigger->setCurrentIndex(m_trigger->findData(raw));
    }
    m_clickNote->setVisible(raw == QLatin1String("click"));
    const bool opens = AppSettings::opensOnAttention(m_defaults);
    m_attention->setCheckedQuietly(opens);
    m_attentionNote->setVisible(!opens);
}

} // namespace velquist
