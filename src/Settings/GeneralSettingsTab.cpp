#include "Settings/GeneralSettingsTab.h"

#include "Characters/CharacterSettings.h"
#include "Core/DefaultsWatch.h"
#include "Platform/LoginItem.h"
#include "Platform/UserDefaults.h"
#include "Settings/DisplaySettingsSection.h"
#include "Settings/OpeningSettingsSection.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "UI/Kit/AuroraStyle.h"

#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>

namespace velquist {

GeneralSettingsTab::GeneralSettingsTab(Services services, QWidget* parent)
    : SettingsForm(parent), m_services(std::move(services))
{
    addLoginSection();
    m_display = new DisplaySettingsSection(m_services.defaults, m_services.screens);
    addSection(m_display);
    m_opening = new OpeningSettingsSection(m_services.defaults);
    addSection(m_opening);
    addCornerSection();
    addRemovalSection();
}

void GeneralSettingsTab::addLoginSection()
{
    SettingsSection* section = addSection();
    m_login = section->addSwitch(QStringLiteral("Launch at login"));
    m_login->setCheckedQuietly(m_services.loginItem.isEnabled());
    m_loginError = section->addNote({});
    QPalette palette = m_loginError->palette();
    palette.setColor(QPalette::WindowText, AuroraStyle::systemOrange());
    m_loginError->setPalette(palette);
    m_loginError->hide();
    connect(m_login, &QAbstractButton::toggled, this, &GeneralSettingsTab::loginSwitched);
}

void GeneralSettingsTab::loginSwitched(bool on)
{
    const FileResult result = on ? m_services.loginItem.enable() : m_services.loginItem.disable();
    // The login item is the only record: the switch shows what it reports afterwards.
    m_login->setCheckedQuietly(m_services.loginItem.isEnabled());
    m_loginError->setText(QStringLiteral("Could not change the start at login: ") +
                          QString::fromStdString(result.error));
    m_loginError->setVisible(!result.ok());
}

void GeneralSettingsTab::addCornerSection()
{
    SettingsSection* section = addSection(QStringLiteral("Notch corner"));
    m_character = new SettingsPicker;
    m_character->addItem(QStringLiteral("None"), QString::fromLatin1(CharacterSettings::kNone));
    m_character->addItem(QStringLiteral("Usage"), QString::fromLatin1(CharacterSettings::kUsage));
    for (const NotchCharacter& character : m_services.characters)
        m_character->addItem(QString::fromStdString(character.manifest.name),
                             QString::fromStdString(character.id));
    section->addRow(QStringLiteral("Show in the notch"), m_character);
    m_usageNote = section->addNote(QStringLiteral("Shows the session window's quota as a ring."));

    connect(m_character, &QComboBox::activated, this, [this](int index) {
        m_services.defaults.setValue(selectedCharacterKey,
                                     m_character->itemData(index).toString().toStdString());
        showCharacter();
    });
    // A first visit stores the first pack, so the picker never rests on an empty choice.
    if (CharacterSettings::selectedId(m_services.defaults).empty() && !m_services.characters.empty())
        m_services.defaults.setValue(selectedCharacterKey, m_services.characters.front().id);
    m_watch = new DefaultsWatch(m_services.defaults, {selectedCharacterKey}, this);
    connect(m_watch, &DefaultsWatch::changed, this, &GeneralSettingsTab::showCharacter);
    showCharacter();
}

void GeneralSettingsTab::showCharacter()
{
    // The stored choice as it is: a pack that is gone matches no option and the picker shows none,
    // with nothing rewritten until the user picks one.
    const std::string shown = CharacterSettings::selectedId(m_services.defaults);
    {
        const QSignalBlocker blocker(m_character);
        m_character->setCurrentIndex(m_character->findData(QString::fromStdString(shown)));
    }
    m_usageNote->setVisible(shown == CharacterSettings::kUsage);
}

void GeneralSettingsTab::addRemovalSection()
{
    SettingsSection* section = addSection();
    m_remove = new QPushButton(QStringLiteral("Remove Velquist…"));
    m_remove->setProperty("destructive", true);
    m_remove->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    section->addRow(m_remove);
    section->addNote(QStringLiteral("Moves itself to the Trash and cleans up its hooks."));
    connect(m_remove, &QPushButton::clicked, this, &GeneralSettingsTab::confirmRemoval);
}

void GeneralSettingsTab::confirmRemoval()
{
    if (confirmation())
        return;
    auto* dialog = new QMessageBox(this);
    dialog->setObjectName(QStringLiteral("removalConfirmation"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setIcon(QMessageBox::Warning);
    dialog->setWindowTitle(QStringLiteral("Remove Velquist"));
    dialog->setTextFormat(Qt::PlainText);
    dialog->setText(QStringLiteral("Remove Velquist from this computer?"));
    dialog->setInformativeText(
        QStringLiteral("Velquist will remove its hooks from every agent's config and stop "
                       "launching at login. Your agents and their settings are untouched."));
    QPushButton* remove =
        dialog->addButton(QStringLiteral("Move to Trash and Quit"), QMessageBox::DestructiveRole);
    QPushButton* cancel = dialog->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    remove->setProperty("destructive", true);
    dialog->setDefaultButton(cancel);
    dialog->setEscapeButton(cancel);
    connect(dialog, &QMessageBox::buttonClicked, this, [this, remove](QAbstractButton* clicked) {
        if (clicked == remove && m_services.removeEverything)
            m_services.removeEverything();
    });
    dialog->open();
}

QMessageBox* GeneralSettingsTab::confirmation() const
{
    // A closed one is deleted on the next turn of the event loop; until then it no longer counts.
    for (QMessageBox* dialog :
         findChildren<QMessageBox*>(QStringLiteral("removalConfirmation"), Qt::FindDirectChildrenOnly)) {
        if (dialog->isVisible())
            return dialog;
    }
    return nullptr;
}

} // namespace velquist
