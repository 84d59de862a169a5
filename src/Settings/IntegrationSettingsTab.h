#pragma once

#include "Settings/SettingsForm.h"

#include "Platform/AppRegistry.h"
#include "Shared/HomePaths.h"

#include <QPointer>
#include <filesystem>
#include <vector>

class QLabel;
class QPushButton;

namespace velquist {

class JumpRuleSection;
class JumpRuleStore;
class Scheduler;
class SettingsSection;
class UserDefaults;
class WindowSystem;

// The Integrations tab: whether Claude Code's hooks are installed (and installing them), whether
// the desktop lets us reach other windows for exact terminal jumps, a warning with its remedy when
// Claude Code was told not to name its terminal tabs, and the user's jump rules. The tab writes no
// setting of ours; its only writes are to Claude Code's settings file, and only on a button.
class IntegrationSettingsTab final : public SettingsForm
{
    Q_OBJECT

  public:
    struct Services
    {
        // For Claude Code's hook target, which depends on the version probe's cached answers.
        UserDefaults& defaults;
        // The user's files: Claude Code's settings and its hook target.
        HomePaths paths;
        const WindowSystem& windows;
        // None before start-up has made it; the jump rules section is then left out.
        JumpRuleStore* jumpRules = nullptr;
        Scheduler& scheduler;
        // The terminal applications a jump rule can name, offered beside the rules.
        std::vector<InstalledApp> terminals = {};
    };

    explicit IntegrationSettingsTab(Services services, QWidget* parent = nullptr);

    // Reads the three states again: done whenever the application becomes active, so changes made
    // elsewhere show when the user comes back.
    void refresh();

    bool hooksInstalled() const { return m_hooksInstalled; }
    bool windowAccess() const { return m_windowAccess; }
    bool titlesDisabled() const { return m_titlesDisabled; }

    QPushButton& installButton() const { return *m_install; }
    QLabel& installedLabel() const { return *m_installed; }
    QLabel& windowAccessLabel() const { return *m_access; }
    SettingsSection& titlesSection() const { return *m_titles; }
    QPushButton& turnTitlesOnButton() const { return *m_turnOn; }
    // None without a rule store.
    JumpRuleSection* jumpRuleSection() const { return m_jumpRules; }

  private:
    void addClaudeSection();
    void addTitlesSection();
    void installHooks();
    void turnTitlesOn();
    void showStates();

    Services m_services;
    bool m_hooksInstalled = false;
    bool m_windowAccess = false;
    bool m_titlesDisabled = false;
    QLabel* m_installed = nullptr;
    QPushButton* m_install = nullptr;
    QLabel* m_access = nullptr;
    QLabel* m_accessUnavailable = nullptr;
    QLabel* m_accessNote = nullptr;
    SettingsSection* m_titles = nullptr;
    QPushButton* m_turnOn = nullptr;
    JumpRuleSection* m_jumpRules = nullptr;
};

} // namespace velquist
