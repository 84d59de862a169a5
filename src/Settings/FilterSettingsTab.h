#pragma once

#include <QPointer>
#include <QUuid>
#include <QWidget>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace velquist {

class SessionStore;
class SettingsSwitch;
struct SilenceRule;

// The settings window's "Filters" tab: the user's silence rules, each editable in place with a
// live count of the sessions it matches, and the built-in rules as switches. Every edit goes
// straight into the store's rule store, which saves it; the tab follows the stores, so a rule made
// elsewhere or a session that starts shows at once. A row keeps the text being typed in it: an
// outside change never rewrites a field under the user's cursor. Without a store it shows only a
// notice.
class FilterSettingsTab final : public QWidget
{
  public:
    explicit FilterSettingsTab(SessionStore* store, QWidget* parent = nullptr);

    // "Hiding 2 of 7 sessions".
    static QString hiddenLine(int hidden, int live);
    // What a row shows beside its pickers for the text in its field and its match count.
    static QString matchSummary(const QString& pattern, int matchCount);

  private:
    class RuleRow;

    void syncRules();
    void syncPresets(const std::vector<SilenceRule>& presets);
    void refreshCounts();

    QPointer<SessionStore> m_store;
    QVBoxLayout* m_customRows = nullptr;
    QWidget* m_rowsRow = nullptr;
    QWidget* m_empty = nullptr;
    QPushButton* m_add = nullptr;
    QLabel* m_hidden = nullptr;
    std::vector<RuleRow*> m_rows;
    // Each built-in rule's switch, by the rule's name, which stays while its id may not.
    std::vector<std::pair<std::string, SettingsSwitch*>> m_presetSwitches;
};

} // namespace velquist
