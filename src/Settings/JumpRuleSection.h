#pragma once

#include "Core/Scheduler.h"
#include "Platform/AppRegistry.h"
#include "Settings/SettingsSection.h"
#include "Terminal/JumpRule.h"

#include <QPointer>
#include <chrono>
#include <map>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace velquist {

class JumpRuleStore;
class SettingsSwitch;

// The user's jump rules: one row per rule (a switch, the application id with a menu of the terminal
// applications installed here, a remove button, and the URL template below), in the store's order,
// and a button that adds a blank rule.
// Switches and removals reach the store at once. Typed text is kept by its row and handed to the
// store once typing pauses or the field is left, so the settings are not rewritten on every
// keystroke; what is handed over is the text exactly as typed. Rows read their texts from the store
// only when they appear, so an outside change never disturbs a field being typed in.
class JumpRuleSection final : public SettingsSection
{
    Q_OBJECT

  public:
    // How long typing must pause before the text is saved.
    static constexpr std::chrono::milliseconds typingPause{600};

    // `terminals`: what the rows offer to fill in the application id.
    JumpRuleSection(JumpRuleStore& store, Scheduler& scheduler, std::vector<InstalledApp> terminals = {},
                    QWidget* parent = nullptr);
    ~JumpRuleSection() override;

    class RuleRow;
    // The row of the rule with this id; none when it has no row.
    RuleRow* row(const std::string& id) const;
    QPushButton& addButton() const { return *m_add; }
    QLabel& emptyLine() const { return *m_empty; }
    // Hands every row's typed text to the store now.
    void commitAll();

  private:
    // Brings the rows in line with the store's list, keeping the rows of rules that remain.
    void syncRows();

    QPointer<JumpRuleStore> m_store;
    Scheduler& m_scheduler;
    const std::vector<InstalledApp> m_terminals;
    QLabel* m_empty;
    QPushButton* m_add;
    std::map<std::string, RuleRow*> m_rows;
};

// One rule: its switch, identifier and remove button over its template.
class JumpRuleSection::RuleRow final : public QWidget
{
  public:
    RuleRow(const JumpRule& rule, JumpRuleStore& store, Scheduler& scheduler,
            const std::vector<InstalledApp>& terminals);
    // Hands typed text that is not saved yet to the store.
    ~RuleRow() override;

    const std::string& id() const { return m_id; }
    SettingsSwitch& enabledSwitch() const { return *m_enabled; }
    QLineEdit& bundleField() const { return *m_bundleID; }
    QLineEdit& templateField() const { return *m_template; }
    QPushButton& removeButton() const { return *m_remove; }
    // The menu of installed terminals; none when none was found.
    QToolButton* terminalsButton() const { return m_terminals; }
    // Shows the rule's switch state, leaving the texts alone.
    void showSwitch(bool isEnabled);
    // Hands the typed text that is not saved yet to the store.
    void commit();

  private:
    void typed();

    std::string m_id;
    QPointer<JumpRuleStore> m_store;
    Scheduler& m_scheduler;
    SettingsSwitch* m_enabled;
    QLineEdit* m_bundleID;
    QLineEdit* m_template;
    QToolButton* m_terminals = nullptr;
    QPushButton* m_remove;
    bool m_bundleDirty = false;
    bool m_templateDirty = false;
    ScheduledTimer m_pause;
};

} // namespace velquist
