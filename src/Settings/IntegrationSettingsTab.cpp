#include "Settings/IntegrationSettingsTab.h"

#include "Ingestion/HookInstaller.h"
#include "Ingestion/TerminalTitleSetting.h"
#include "Platform/WindowSystem.h"
#include "Settings/JumpRuleSection.h"
#include "Settings/SettingsSection.h"
#include "Shared/Log.h"
#include "UI/Kit/AuroraStyle.h"
#include "UI/Kit/GlyphLabel.h"
#include "UI/Kit/SettingsStyle.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace velquist {

namespace {

// A row's state on one line, in the secondary colour.
QLabel* secondaryLabel(const QString& text)
{
    QLabel* label = SettingsSection::secondaryLabel(text);
    label->setWordWrap(false);
    return label;
}

// A row's value that is either a state ("Installed") or the button that brings it about.
QWidget* stateOrButton(QLabel* state, QPushButton* button)
{
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(state);
    layout->addWidget(button);
    return holder;
}

} // namespace

IntegrationSettingsTab::IntegrationSettingsTab(Services services, QWidget* parent)
    : SettingsForm(parent), m_services(std::move(services))
{
    addClaudeSection();
    addTitlesSection();
    if (m_services.jumpRules) {
        m_jumpRules = new JumpRuleSection(*m_services.jumpRules, m_services.scheduler, m_services.terminals);
        addSection(m_jumpRules);
    }
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            refresh();
    });
    refresh();
}

void IntegrationSettingsTab::addClaudeSection()
{
    SettingsSection* section = addSection(QStringLiteral("Claude Code"));
    m_installed = new GlyphLabel(QStringLiteral("checkmark.circle.fill"), AuroraStyle::systemGreen(),
                                 QStringLiteral("Installed"));
    m_installed->setFont(SettingsStyle::bodyFont());
    m_install = new QPushButton(QStringLiteral("Install…"));
    section->addRow(QStringLiteral("Hooks"), stateOrButton(m_installed, m_install));
    m_install->setAccessibleName(QStringLiteral("Install…"));
    connect(m_install, &QPushButton::clicked, this, &IntegrationSettingsTab::installHooks);

    // The desktop's stand-in for an accessibility permission: X11 lets any client read and raise
    // other windows, so there is nothing to grant, only whether a window manager is there to ask.
    m_access = new GlyphLabel(QStringLiteral("checkmark.circle.fill"), AuroraStyle::systemGreen(),
                              QStringLiteral("Available"));
    m_access->setFont(SettingsStyle::bodyFont());
    m_accessUnavailable = secondaryLabel(QStringLiteral("Not available"));
    auto* accessValue = new QWidget;
    auto* accessLayout = new QHBoxLayout(accessValue);
    accessLayout->setContentsMargins(0, 0, 0, 0);
    accessLayout->addWidget(m_access);
    accessLayout->addWidget(m_accessUnavailable);
    section->addRow(QStringLiteral("Window access"), accessValue);
    section->addNote(QStringLiteral("Window access is used only to jump to the exact terminal window."));
    m_accessNote =
        section->addNote(QStringLiteral("Jumps need an X11 desktop with a window manager; without "
                                        "one, a click on a session cannot bring its terminal forward."));
}

void IntegrationSettingsTab::addTitlesSection()
{
    m_titles = addSection();
    auto* header = new GlyphLabel(QStringLiteral("exclamationmark.triangle"), AuroraStyle::systemOrange(),
                                  QStringLiteral("Tab-precise jumping is off"));
    header->setFont(SettingsStyle::headerFont());
    header->setContentsMargins(header->contentsMargins() + QMargins(4, 0, 0, 0));
    m_titles->setHeaderWidget(header);
    m_turnOn = new QPushButton(QStringLiteral("Turn back on"));
    m_titles->addRow(QStringLiteral("Tab titles"), m_turnOn);
    m_turnOn->setAccessibleName(QStringLiteral("Turn back on"));
    m_titles->setFooter(QStringLiteral(
        "Something set CLAUDE_CODE_DISABLE_TERMINAL_TITLE in ~/.claude/settings.json, which stops Claude "
        "Code "
        "naming its terminal tab. That name is what lets the notch jump to the exact tab when several "
        "sessions "
        "share a folder, so in Ghostty and other tabbed terminals every jump is currently falling back to "
        "guessing by working directory. Turning it back on affects only this one setting."));
    connect(m_turnOn, &QPushButton::clicked, this, &IntegrationSettingsTab::turnTitlesOn);
}

void IntegrationSettingsTab::refresh()
{
    m_windowAccess = m_services.windows.canListWindows() && m_services.windows.canActivateWindows();
    if (const std::string desktop = m_services.windows.unreachableDesktop(); !desktop.empty())
        m_accessNote->setText(
            QString::fromStdString(desktop) +
            QStringLiteral(" on Wayland lets no application bring another's window forward; "
                           "jumps go through the terminal's own controls (kitty, WezTerm, "
                           "tmux)."));
    m_hooksInstalled =
        HookInstaller::hooksInstalled(HookInstaller::claudeTarget(m_services.paths, m_services.defaults));
    m_titlesDisabled = TerminalTitleSetting::isDisabled(m_services.paths.claudeSettings());
    showStates();
}

void IntegrationSettingsTab::installHooks()
{
    // A failure shows as the button staying; the reason goes to the trace.
    if (const ConfigChange change =
            HookInstaller::installHooks(HookInstaller::claudeTarget(m_services.paths, m_services.defaults));
        !change.ok())
        Log::debug("hooks", "install from settings failed: " + change.error);
    m_hooksInstalled =
        HookInstaller::hooksInstalled(HookInstaller::claudeTarget(m_services.paths, m_services.defaults));
    showStates();
}

void IntegrationSettingsTab::turnTitlesOn()
{
    if (const ConfigChange change = TerminalTitleSetting::enableTitles(m_services.paths.claudeSettings());
        !change.ok())
        Log::debug("hooks", "turning terminal titles back on failed: " + change.error);
    m_titlesDisabled = TerminalTitleSetting::isDisabled(m_services.paths.claudeSettings());
    showStates();
}

void IntegrationSettingsTab::showStates()
{
    m_installed->setVisible(m_hooksInstalled);
    m_install->setVisible(!m_hooksInstalled);
    m_access->setVisible(m_windowAccess);
    m_accessUnavailable->setVisible(!m_windowAccess);
    m_accessNote->setVisible(!m_windowAccess);
    m_titles->setVisible(m_titlesDisabled);
}

} // namespace velquist
