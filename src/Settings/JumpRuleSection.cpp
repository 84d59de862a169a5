#include "Settings/JumpRuleSection.h"

#include "Settings/SettingsSwitch.h"
#include "Terminal/JumpRuleStore.h"
#include "UI/Kit/Glyph.h"
#include "UI/Kit/SettingsStyle.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace velquist {

namespace {

// A borderless button that shows only a glyph.
class GlyphButton final : public QPushButton
{
  public:
    explicit GlyphButton(QString glyph) : m_glyph(std::move(glyph))
    {
        setProperty("flat", true);
        setFlat(true);
        setFixedSize(24, 24);
        setCursor(Qt::PointingHandCursor);
    }

  protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPushButton::paintEvent(event);
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        Glyph::paint(painter, QRectF(rect()).adjusted(5, 5, -5, -5), m_glyph,
                     isDown() ? SettingsStyle::primaryText() : SettingsStyle::secondaryText(), false);
    }

  private:
    QString m_glyph;
};

} // namespace

JumpRuleSection::RuleRow::RuleRow(const JumpRule& rule, JumpRuleStore& store, Scheduler& scheduler,
                                  const std::vector<InstalledApp>& terminals)
    : m_id(rule.id), m_store(&store), m_scheduler(scheduler), m_enabled(new SettingsSwitch),
      m_bundleID(new QLineEdit), m_template(new QLineEdit), m_remove(new GlyphButton(QStringLiteral("trash")))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 2, 0, 2);
    column->setSpacing(7);
    auto* line = new QHBoxLayout;
    line->setSpacing(8);
    m_enabled->setAccessibleName(QStringLiteral("Use this rule"));
    m_enabled->setCheckedQuietly(rule.isEnabled);
    // An id that exists here says best what belongs in the field.
    m_bundleID->setPlaceholderText(terminals.empty() ? QStringLiteral("application id")
                                                     : QString::fromStdString(terminals.front().identifier));
    m_bundleID->setAccessibleName(QStringLiteral("Application id"));
    m_bundleID->setText(QString::fromStdString(rule.bundleID));
    m_remove->setToolTip(QStringLiteral("Remove this rule"));
    m_remove->setAccessibleName(QStringLiteral("Remove this rule"));
    line->addWidget(m_enabled);
    line->addWidget(m_bundleID, 1);
    if (!terminals.empty()) {
        m_terminals = new QToolButton;
        m_terminals->setText(QStringLiteral("Terminals"));
        m_terminals->setAccessibleName(QStringLiteral("Terminals on this computer"));
        m_terminals->setToolTip(QStringLiteral("Fill in the application id of a terminal on this computer"));
        m_terminals->setPopupMode(QToolButton::InstantPopup);
        auto* menu = new QMenu(m_terminals);
        for (const InstalledApp& terminal : terminals) {
            QAction* choice = menu->addAction(QStringLiteral("%1 (%2)").arg(
                QString::fromStdString(terminal.name), QString::fromStdString(terminal.identifier)));
            connect(choice, &QAction::triggered, this,
                    [this, id = QString::fromStdString(terminal.identifier)] {
                        m_bundleID->setText(id);
                        m_bundleDirty = true;
                        commit();
                    });
        }
        m_terminals->setMenu(menu);
        line->addWidget(m_terminals);
    }
    line->addWidget(m_remove);
    column->addLayout(line);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(SettingsStyle::bodyFont().pointSizeF() - 1);
    m_template->setFont(mono);
    m_template->setPlaceholderText(QStringLiteral("myterm://focus?tty={tty}"));
    m_template->setAccessibleName(QStringLiteral("URL template"));
    m_template->setText(QString::fromStdString(rule.urlTemplate));
    column->addWidget(m_template);

    connect(m_enabled, &QAbstractButton::toggled, this, [this](bool on) {
        if (m_store)
            m_store->update(m_id, std::nullopt, std::nullopt, on);
    });
    // Only the user's typing counts: filling the fields above wrote nothing back.
    connect(m_bundleID, &QLineEdit::textEdited, this, [this] {
        m_bundleDirty = true;
        typed();
    });
    connect(m_template, &QLineEdit::textEdited, this, [this] {
        m_templateDirty = true;
        typed();
    });
    connect(m_bundleID, &QLineEdit::editingFinished, this, &RuleRow::commit);
    connect(m_template, &QLineEdit::editingFinished, this, &RuleRow::commit);
    connect(m_remove, &QPushButton::clicked, this, [this] {
        if (m_store)
            m_store->remove(m_id);
    });
}

JumpRuleSection::RuleRow::~RuleRow()
{
    commit();
}

void JumpRuleSection::RuleRow::showSwitch(bool isEnabled)
{
    m_enabled->setCheckedQuietly(isEnabled);
}

void JumpRuleSection::RuleRow::typed()
{
    m_pause = ScheduledTimer(m_scheduler, m_scheduler.schedule(typingPause, [this] { commit(); }));
}

void JumpRuleSection::RuleRow::commit()
{
    m_pause.cancel();
    if (!m_store || (!m_bundleDirty && !m_templateDirty))
        return;
    std::optional<std::string> bundleID;
    std::optional<std::string> urlTemplate;
    if (m_bundleDirty)
        bundleID = m_bundleID->text().toStdString();
    if (m_templateDirty)
        urlTemplate = m_template->text().toStdString();
    m_bundleDirty = false;
    m_templateDirty = false;
    // One save for both fields; a rule removed meanwhile takes nothing.
    m_store->update(m_id, std::move(bundleID), std::move(urlTemplate), std::nullopt);
}

JumpRuleSection::JumpRuleSection(JumpRuleStore& store, Scheduler& scheduler,
                                 std::vector<InstalledApp> terminals, QWidget* parent)
    : SettingsSection(QStringLiteral("Custom jump rules"), parent), m_store(&store), m_scheduler(scheduler),
      m_terminals(std::move(terminals))
{
    m_empty = addText(QStringLiteral("No custom jump rules."));
    m_add = new QPushButton(QStringLiteral("Add rule…"));
    m_add->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    addRow(m_add);
    setFooter(QStringLiteral("For unsupported terminals: an application id plus a URL template; "
                             "{tty}, {pid}, {cwd} and {session} are filled in from the session. A session's "
                             "terminal pill shows its application id on hover."));
    connect(m_add, &QPushButton::clicked, this, [this] {
        if (m_store)
            m_store->add(JumpRule::make({}, {}, true));
    });
    connect(&store, &JumpRuleStore::rulesChanged, this, &JumpRuleSection::syncRows);
    syncRows();
}

JumpRuleSection::~JumpRuleSection()
{
    // The saves below announce a change, which a section on its way out must not answer.
    if (m_store)
        disconnect(m_store, nullptr, this, nullptr);
    commitAll();
}

JumpRuleSection::RuleRow* JumpRuleSection::row(const std::string& id) const
{
    const auto found = m_rows.find(id);
    return found == m_rows.end() ? nullptr : found->second;
}

void JumpRuleSection::commitAll()
{
    for (const auto& [id, row] : m_rows)
        row->commit();
}

void JumpRuleSection::syncRows()
{
    if (!m_store)
        return;
    const std::vector<JumpRule>& rules = m_store->rules();
    // Rows of rules that are gone go with their wrapper; their typed text has nowhere to go.
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        const bool kept = std::any_of(rules.begin(), rules.end(),
                                      [&](const JumpRule& rule) { return rule.id == it->first; });
        if (kept) {
            ++it;
            continue;
        }
        QWidget* wrapper = it->second->parentWidget();
        it = m_rows.erase(it);
        delete wrapper;
    }
    // Rows follow the store's order, below the empty line and above the add button.
    int position = 1;
    for (const JumpRule& rule : rules) {
        RuleRow* existing = row(rule.id);
        if (!existing) {
            existing = new RuleRow(rule, *m_store, m_scheduler, m_terminals);
            m_rows.emplace(rule.id, existing);
            insertRow(position, existing);
        } else {
            existing->showSwitch(rule.isEnabled);
            auto* rows = existing->parentWidget()->parentWidget()->layout();
            if (auto* box = qobject_cast<QBoxLayout*>(rows);
                box && box->indexOf(existing->parentWidget()) != position) {
                box->removeWidget(existing->parentWidget());
                box->insertWidget(position, existing->parentWidget());
            }
        }
        ++position;
    }
    m_empty->parentWidget()->setVisible(rules.empty());
}

} // namespace velquist
