#include "Settings/FilterSettingsTab.h"

#include "Core/SessionStore.h"
#include "Core/SilenceRuleStore.h"
#include "Settings/SettingsForm.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "UI/Kit/GlyphButton.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace velquist {

namespace {

QString placeholderFor(SilenceRule::Field field)
{
    return field == SilenceRule::Field::prompt ? QStringLiteral("e.g. ## Memory Writing Agent")
                                               : QStringLiteral("e.g. ~/.claude");
}

int liveCount(const SessionStore& store)
{
    return int(std::count_if(store.sessions().begin(), store.sessions().end(), [](const auto& entry) {
        return !entry.second.status.template is<SessionStatus::Ended>();
    }));
}

} // namespace

// One custom rule: its two pickers, its match summary, a remove button and its text.
class FilterSettingsTab::RuleRow final : public QWidget
{
  public:
    RuleRow(const SilenceRule& rule, SessionStore& store)
        : m_id(rule.id), m_store(store), m_field(new SettingsPicker), m_match(new SettingsPicker),
          m_summary(SettingsSection::calloutLabel({})), m_text(new QLineEdit)
    {
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(0, 2, 0, 2);
        column->setSpacing(7);
        auto* line = new QHBoxLayout;
        line->setSpacing(8);
        m_field->setAccessibleName(QStringLiteral("Field"));
        m_field->addItem(QStringLiteral("Working directory"), int(SilenceRule::Field::directory));
        m_field->addItem(QStringLiteral("First prompt"), int(SilenceRule::Field::prompt));
        m_match->setAccessibleName(QStringLiteral("Match"));
        m_match->addItem(QStringLiteral("contains"), int(SilenceRule::Match::contains));
        m_match->addItem(QStringLiteral("starts with"), int(SilenceRule::Match::prefix));
        m_summary->setWordWrap(false);
        QToolButton* remove = new GlyphButton(QStringLiteral("trash"), QStringLiteral("Remove this filter"));
        line->addWidget(m_field);
        line->addWidget(m_match);
        line->addStretch(1);
        line->addSpacing(8);
        line->addWidget(m_summary);
        line->addWidget(remove);
        column->addLayout(line);
        m_text->setAccessibleName(QStringLiteral("Pattern"));
        column->addWidget(m_text);

        // The stored text is copied in once, when the row appears; afterwards the field is the user's.
        m_text->setText(QString::fromStdString(rule.pattern));
        setRule(rule);

        connect(m_field, &QComboBox::activated, this, [this](int index) {
            m_store.silence().replace(m_id, SilenceRule::Field(m_field->itemData(index).toInt()));
        });
        connect(m_match, &QComboBox::activated, this, [this](int index) {
            m_store.silence().replace(m_id, SilenceRule::Match(m_match->itemData(index).toInt()));
        });
        connect(remove, &QToolButton::clicked, this, [this] { m_store.silence().remove(m_id); });
        connect(m_text, &QLineEdit::textChanged, this, [this](const QString& text) {
            // Untrimmed, on every keystroke; a text equal to the stored one is no change to save.
            if (text.toStdString() != m_rule.pattern)
                m_store.silence().update(m_id, text.toStdString());
            refreshSummary();
        });
    }

    const QUuid& id() const { return m_id; }

    void setRule(const SilenceRule& rule)
    {
        m_rule = rule;
        const QSignalBlocker blockField(m_field), blockMatch(m_match);
        m_field->setCurrentIndex(m_field->findData(int(rule.field)));
        m_match->setCurrentIndex(m_match->findData(int(rule.match)));
        m_text->setPlaceholderText(placeholderFor(rule.field));
        refreshSummary();
    }

    void refreshSummary()
    {
        SilenceRule probe = m_rule;
        probe.pattern = m_text->text().toStdString();
        probe.isEnabled = true;
        m_summary->setText(matchSummary(m_text->text(), m_store.matchCount(probe)));
    }

  private:
    QUuid m_id;
    SessionStore& m_store;
    SilenceRule m_rule;
    QComboBox* m_field;
    QComboBox* m_match;
    QLabel* m_summary;
    QLineEdit* m_text;
};

FilterSettingsTab::FilterSettingsTab(SessionStore* store, QWidget* parent) : QWidget(parent), m_store(store)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    layout->addWidget(form);
    if (!store) {
        form->addLine(QStringLiteral("Filters are available once the app has finished launching."));
        return;
    }

    SettingsSection* custom = form->addSection(QStringLiteral("Filters"));
    m_empty = custom->addText(QStringLiteral("No filters yet."))->parentWidget();
    auto* rows = new QWidget;
    m_customRows = new QVBoxLayout(rows);
    m_customRows->setContentsMargins(0, 0, 0, 0);
    m_customRows->setSpacing(12);
    m_rowsRow = custom->addRow(rows);
    auto* addLine = new QWidget;
    auto* addLayout = new QHBoxLayout(addLine);
    addLayout->setContentsMargins(0, 0, 0, 0);
    m_add = new QPushButton(QStringLiteral("Add filter…"));
    addLayout->addWidget(m_add);
    addLayout->addStretch(1);
    m_hidden = SettingsSection::calloutLabel({});
    m_hidden->setWordWrap(false);
    addLayout->addWidget(m_hidden);
    custom->addRow(addLine);
    custom->setFooter(QStringLiteral(
        "Hidden sessions keep running. Right-click a session in the panel to create a filter."));

    // The built-in rules are fixed; only their switches follow the store.
    SettingsSection* presets = form->addSection(QStringLiteral("Built-in filters"));
    for (const SilenceRule& rule : store->silence().presetRules()) {
        const std::string name = rule.presetName.value_or(std::string());
        SettingsSwitch* toggle = presets->addSwitch(QString::fromStdString(name));
        if (rule.presetDetail)
            presets->addNote(QString::fromStdString(*rule.presetDetail));
        connect(toggle, &SettingsSwitch::toggled, this, [this, name](bool on) {
            if (!m_store)
                return;
            for (const SilenceRule& preset : m_store->silence().presetRules()) {
                if (preset.presetName == name)
                    m_store->silence().setEnabled(on, preset.id);
            }
        });
        m_presetSwitches.emplace_back(name, toggle);
    }

    connect(m_add, &QPushButton::clicked, this, [this] {
        if (!m_store)
            return;
        SilenceRule rule;
        rule.id = QUuid::createUuid();
        rule.field = SilenceRule::Field::directory;
        rule.match = SilenceRule::Match::contains;
        rule.isEnabled = true;
        m_store->silence().add(rule);
    });
    connect(&store->silence(), &SilenceRuleStore::rulesChanged, this, &FilterSettingsTab::syncRules);
    connect(store, &SessionStore::sessionsChanged, this, &FilterSettingsTab::refreshCounts);
    connect(store, &SessionStore::introIsRunningChanged, this, &FilterSettingsTab::refreshCounts);
    syncRules();
}

QString FilterSettingsTab::hiddenLine(int hidden, int live)
{
    return QStringLiteral("Hiding %1 of %2 sessions").arg(hidden).arg(live);
}

QString FilterSettingsTab::matchSummary(const QString& pattern, int matchCount)
{
    if (pattern.trimmed().isEmpty())
        return QStringLiteral("no pattern");
    return QStringLiteral("%1 match%2").arg(matchCount).arg(matchCount == 1 ? "" : "es");
}

void FilterSettingsTab::syncRules()
{
    if (!m_store)
        return;
    const std::vector<SilenceRule> rules = m_store->silence().customRules();
    std::vector<RuleRow*> rows;
    for (const SilenceRule& rule : rules) {
        auto found =
            std::find_if(m_rows.begin(), m_rows.end(), [&](RuleRow* row) { return row->id() == rule.id; });
        if (found != m_rows.end()) {
            (*found)->setRule(rule);
            rows.push_back(*found);
            m_rows.erase(found);
        } else {
            rows.push_back(new RuleRow(rule, *m_store));
        }
    }
    for (RuleRow* gone : m_rows)
        delete gone;
    m_rows = std::move(rows);
    // Re-adding in the store's order moves kept rows without rebuilding them.
    for (RuleRow* row : m_rows)
        m_customRows->removeWidget(row);
    for (RuleRow* row : m_rows)
        m_customRows->addWidget(row);
    m_empty->setVisible(m_rows.empty());
    m_rowsRow->setVisible(!m_rows.empty());
    syncPresets(m_store->silence().presetRules());
    refreshCounts();
}

void FilterSettingsTab::syncPresets(const std::vector<SilenceRule>& presets)
{
    for (const auto& [name, toggle] : m_presetSwitches) {
        for (const SilenceRule& rule : presets) {
            if (rule.presetName == name)
                toggle->setCheckedQuietly(rule.isEnabled);
        }
    }
}

void FilterSettingsTab::refreshCounts()
{
    if (!m_store)
        return;
    for (RuleRow* row : m_rows)
        row->refreshSummary();
    const int hidden = m_store->hiddenCount();
    m_hidden->setVisible(hidden >= 1);
    m_hidden->setText(hiddenLine(hidden, liveCount(*m_store)));
}

} // namespace velquist
