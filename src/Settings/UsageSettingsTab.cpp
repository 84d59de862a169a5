#include "Settings/UsageSettingsTab.h"

#include "Platform/Clock.h"
#include "Settings/SettingsForm.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "UI/Kit/GlyphLabel.h"
#include "UI/Kit/SettingsStyle.h"
#include "Usage/UsageStore.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

namespace velquist {

namespace {

// "Never": above every percentage a window can reach.
constexpr int kNever = 101;

QString footerFor(UsageProvider provider)
{
    if (provider == UsageProvider::codex)
        return QStringLiteral(
            "Read by asking the Codex CLI itself, using the login it already has. Nothing is "
            "sent anywhere else. Each check starts a short-lived `codex app-server`, which is "
            "why it happens every few minutes rather than continuously.");
    return QStringLiteral(
        "Read from your Claude Code login on this computer, using the same account the CLI "
        "uses. Nothing is sent anywhere else. The quota is checked every few minutes rather "
        "than continuously, so this never costs you rate limit headroom.");
}

// One labelled value of the reading: the label on the left, the value on the right.
QWidget* valueLine(const QString& label, const QString& value)
{
    auto* line = new QWidget;
    auto* layout = new QHBoxLayout(line);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SettingsSection::rowLabel(label, line));
    layout->addStretch(1);
    QLabel* shown = SettingsSection::secondaryLabel(value, line);
    shown->setWordWrap(false);
    shown->setAccessibleName(label);
    layout->addWidget(shown);
    return line;
}

} // namespace

UsageSettingsTab::UsageSettingsTab(UsageStore* store, const Clock& clock, QWidget* parent)
    : QWidget(parent), m_store(store), m_clock(clock)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    layout->addWidget(form);
    if (!store) {
        form->addLine(QStringLiteral("Usage is available once the app has finished launching."));
        return;
    }

    m_main = form->addSection();
    m_enabled = m_main->addSwitch(QStringLiteral("Show usage limits"));
    m_provider = new SettingsPicker;
    m_provider->addItem(QStringLiteral("Claude"), int(UsageProvider::claude));
    m_provider->addItem(QStringLiteral("Codex"), int(UsageProvider::codex));
    m_providerRow = m_main->addRow(QStringLiteral("Account"), m_provider);
    m_threshold = new SettingsPicker;
    for (const int percent : {70, 80, 90})
        m_threshold->addItem(QStringLiteral("%1% used").arg(percent), percent);
    m_threshold->addItem(QStringLiteral("Never"), kNever);
    m_thresholdRow = m_main->addRow(QStringLiteral("Warn at"), m_threshold);

    m_status = form->addSection(QStringLiteral("Status"));
    auto* lines = new QWidget;
    m_statusLines = new QVBoxLayout(lines);
    m_statusLines->setContentsMargins(0, 0, 0, 0);
    m_statusLines->setSpacing(8);
    m_status->addRow(lines);
    m_checkNow = new QPushButton(QStringLiteral("Check now"));
    auto* buttonLine = new QWidget;
    auto* buttonLayout = new QHBoxLayout(buttonLine);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addWidget(m_checkNow);
    buttonLayout->addStretch(1);
    m_status->addRow(buttonLine);

    connect(m_enabled, &SettingsSwitch::toggled, this, [this](bool on) {
        if (m_store)
            m_store->setEnabled(on);
    });
    connect(m_provider, &QComboBox::activated, this, [this](int index) {
        if (m_store)
            m_store->setProvider(UsageProvider(m_provider->itemData(index).toInt()));
    });
    connect(m_threshold, &QComboBox::activated, this, [this](int index) {
        if (m_store)
            m_store->setAlertThreshold(m_threshold->itemData(index).toInt());
    });
    connect(m_checkNow, &QPushButton::clicked, this, [this] {
        if (m_store)
            m_store->refresh();
    });
    for (auto changed :
         {&UsageStore::isEnabledChanged, &UsageStore::providerChanged, &UsageStore::alertThresholdChanged,
          &UsageStore::quotaChanged, &UsageStore::errorChanged, &UsageStore::isRefreshingChanged})
        connect(store, changed, this, &UsageSettingsTab::refresh);
    refresh();
}

QString UsageSettingsTab::message(const UsageError& error, UsageProvider provider)
{
    switch (error.kind) {
    case UsageError::Kind::rateLimited:
        return QStringLiteral("Anthropic asked us to slow down. The next check is delayed; nothing is wrong "
                              "with your account.");
    case UsageError::Kind::http:
        return QStringLiteral("Anthropic returned an error (%1).").arg(error.status);
    case UsageError::Kind::notAuthenticated:
        if (provider == UsageProvider::codex)
            return QStringLiteral(
                "No Codex CLI found, or it is not signed in. Run `codex` in a terminal and sign in.");
        return QStringLiteral(
            "No Claude Code login found on this computer. Run `claude` in a terminal and sign in.");
    case UsageError::Kind::loginExpired:
        return QStringLiteral("The Claude Code login on this computer has expired. Run `claude` once in a "
                              "terminal to refresh it.");
    case UsageError::Kind::missingProfileScope:
        return QStringLiteral(
            "This login cannot read usage. It was created by `claude setup-token`, which "
            "omits the scope the usage endpoint needs; run `claude /login` to sign in again.");
    case UsageError::Kind::transport:
        break;
    }
    return QStringLiteral("Could not reach Anthropic. Check your connection.");
}

QString UsageSettingsTab::windowValue(double usagePercent, const std::optional<std::string>& timeRemaining)
{
    QString value = QStringLiteral("%1% used").arg(std::lround(usagePercent));
    if (timeRemaining)
        value += QStringLiteral(", resets in ") + QString::fromStdString(*timeRemaining);
    return value;
}

void UsageSettingsTab::refresh()
{
    if (!m_store)
        return;
    const bool enabled = m_store->isEnabled();
    m_enabled->setCheckedQuietly(enabled);
    {
        const QSignalBlocker quietProvider(m_provider);
        const QSignalBlocker quietThreshold(m_threshold);
        m_provider->setCurrentIndex(m_provider->findData(int(m_store->provider())));
        // A stored value the list does not offer selects no row; it is not rewritten.
        m_threshold->setCurrentIndex(m_threshold->findData(m_store->alertThreshold()));
    }
    m_providerRow->setVisible(enabled);
    m_thresholdRow->setVisible(enabled);
    m_main->setFooter(footerFor(m_store->provider()));
    m_status->setVisible(enabled);
    refreshStatus();
}

void UsageSettingsTab::addStatusLine(QWidget* line)
{
    m_statusLines->addWidget(line);
    // Shown now, not when the layout gets round to it, so the page never lacks a line.
    line->setVisible(m_status->isVisibleTo(this));
}

void UsageSettingsTab::refreshStatus()
{
    while (QLayoutItem* item = m_statusLines->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (const auto& error = m_store->error()) {
        addStatusLine(SettingsSection::calloutGlyphLabel(QStringLiteral("exclamationmark.triangle"),
                                                         message(*error, m_store->provider())));
        // The reading from before the login expired is still worth seeing, as an old one: its reset
        // times may have passed, so only the shares are shown.
        if (m_store->isQuotaOld()) {
            const QuotaData& old = *m_store->quota();
            const QDateTime taken = QDateTime::fromMSecsSinceEpoch(
                std::chrono::duration_cast<std::chrono::milliseconds>(old.fetchedAt.time_since_epoch())
                    .count());
            addStatusLine(
                SettingsSection::secondaryLabel(QStringLiteral("Old reading, from %1:")
                                                    .arg(QLocale().toString(taken, QLocale::ShortFormat))));
            for (const QuotaWindow& window : old.windows)
                addStatusLine(valueLine(QString::fromStdString(window.displayName),
                                        windowValue(window.usagePercent, std::nullopt)));
        }
    } else if (const auto& quota = m_store->quota()) {
        if (quota->planName)
            addStatusLine(valueLine(QStringLiteral("Plan"), QString::fromStdString(*quota->planName)));
        for (const QuotaWindow& window : quota->windows)
            addStatusLine(valueLine(QString::fromStdString(window.displayName),
                                    windowValue(window.usagePercent, window.timeRemaining(m_clock.now()))));
    } else {
        addStatusLine(SettingsSection::secondaryLabel(
            m_store->isRefreshing() ? QStringLiteral("Checking…") : QStringLiteral("No reading yet.")));
    }
    m_checkNow->setEnabled(!m_store->isRefreshing());
}

} // namespace velquist
