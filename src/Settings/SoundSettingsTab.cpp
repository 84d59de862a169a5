#include "Settings/SoundSettingsTab.h"

#include "Settings/SettingsForm.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSection.h"
#include "Settings/SettingsSwitch.h"
#include "Sound/SoundPlayer.h"
#include "Sound/SoundSettings.h"
#include "UI/Kit/GlyphButton.h"
#include "UI/Kit/GlyphLabel.h"
#include "UI/Kit/SettingsStyle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace velquist {

namespace {

// Rows a sound list shows before it scrolls, so it stays on a small screen.
constexpr int kVisibleSounds = 12;

struct EventTexts
{
    const char* title;
    const char* subtitle;
};

EventTexts textsFor(SoundEvent event)
{
    switch (event) {
    case SoundEvent::permission:
        return {"Permission needed", "An agent is blocked on your approval."};
    case SoundEvent::question:
        return {"Question asked", "An agent is waiting for an answer."};
    case SoundEvent::done:
        return {"Turn finished", "An agent finished its turn."};
    case SoundEvent::start:
        return {"Session started", "A new session appeared."};
    }
    return {"", ""};
}

// A picker row's key for a choice; system names are kept verbatim after the prefix.
QString keyOf(const SoundChoice& choice)
{
    if (const auto* builtIn = std::get_if<SoundChoice::BuiltIn>(&choice.value))
        return QStringLiteral("builtIn:") + QString::fromStdString(builtIn->name);
    if (const auto* system = std::get_if<SoundChoice::System>(&choice.value))
        return QStringLiteral("system:") + QString::fromStdString(system->name);
    return QStringLiteral("off");
}

SoundChoice choiceOf(const QString& key)
{
    if (key.startsWith(QStringLiteral("builtIn:")))
        return SoundChoice::builtIn(key.mid(8).toStdString());
    if (key.startsWith(QStringLiteral("system:")))
        return SoundChoice::system(key.mid(7).toStdString());
    return SoundChoice::off();
}

QString capitalised(const std::string& name)
{
    QString text = QString::fromStdString(name);
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

// The system names the user has chosen for some event, kept on offer whatever the theme holds.
std::vector<std::string> chosenSystemSounds(const SoundSettings& settings)
{
    std::vector<std::string> chosen;
    for (const SoundEvent event : allSoundEvents) {
        const SoundChoice choice = settings.choice(event);
        if (const auto* system = std::get_if<SoundChoice::System>(&choice.value))
            chosen.push_back(system->name);
    }
    return chosen;
}

QComboBox* soundPicker(const SoundSettings& settings, const QString& accessibleName)
{
    auto* picker = new SettingsPicker;
    picker->setAccessibleName(accessibleName);
    picker->setMaxVisibleItems(kVisibleSounds);
    picker->addItem(QStringLiteral("Off"), keyOf(SoundChoice::off()));
    picker->insertSeparator(picker->count());
    for (const std::string& name : SoundCatalog::builtIn())
        picker->addItem(capitalised(name), keyOf(SoundChoice::builtIn(name)));
    picker->insertSeparator(picker->count());
    const auto names = SoundCatalog::system(settings.systemSounds());
    for (const std::string& name : SoundCatalog::eventSounds(names, chosenSystemSounds(settings)))
        picker->addItem(QString::fromStdString(name), keyOf(SoundChoice::system(name)));
    // Every event's picker holds the same names, so all take the width of the longest.
    picker->setFixedWidth(std::max(140, picker->sizeHint().width()));
    return picker;
}

QLabel* bodyText(const QString& text)
{
    return SettingsSection::rowLabel(text);
}

QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

// "From" / "Until": an hour and a quarter-hour picker that split one count of minutes after midnight.
QWidget* timePicker(const QString& label, std::function<int()> read, std::function<void(int)> write,
                    std::vector<std::function<void()>>& refreshers)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bodyText(label));
    layout->addStretch(1);
    auto* hours = new SettingsPicker;
    hours->setAccessibleName(label + QStringLiteral(" hour"));
    hours->setFixedWidth(64);
    for (int hour = 0; hour < 24; ++hour)
        hours->addItem(twoDigits(hour), hour);
    auto* minutes = new SettingsPicker;
    minutes->setAccessibleName(label + QStringLiteral(" minute"));
    minutes->setFixedWidth(64);
    for (const int minute : {0, 15, 30, 45})
        minutes->addItem(twoDigits(minute), minute);
    layout->addWidget(hours);
    layout->addWidget(bodyText(QStringLiteral(":")));
    layout->addWidget(minutes);

    QObject::connect(hours, &QComboBox::activated, row, [hours, read, write](int index) {
        write(hours->itemData(index).toInt() * 60 + read() % 60);
    });
    QObject::connect(minutes, &QComboBox::activated, row, [minutes, read, write](int index) {
        write(read() / 60 * 60 + minutes->itemData(index).toInt());
    });
    refreshers.push_back([hours, minutes, read] {
        const int value = read();
        const QSignalBlocker blockHours(hours), blockMinutes(minutes);
        // A stored minute off the quarter hours selects no row and stays as it is.
        hours->setCurrentIndex(hours->findData(value / 60));
        minutes->setCurrentIndex(minutes->findData(value % 60));
    });
    return row;
}

} // namespace

SoundSettingsTab::SoundSettingsTab(SoundSettings* settings, SoundPlayer* player, QWidget* parent)
    : QWidget(parent), m_settings(settings)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    layout->addWidget(form);
    if (!settings) {
        form->addLine(QStringLiteral("Sounds are available once the app has finished launching."));
        return;
    }

    SettingsSection* main = form->addSection();
    m_enabled = main->addSwitch(QStringLiteral("Play sounds"));
    auto* volumeRow = new QWidget;
    auto* volumeLayout = new QHBoxLayout(volumeRow);
    volumeLayout->setContentsMargins(0, 0, 0, 0);
    volumeLayout->setSpacing(10);
    volumeLayout->addWidget(bodyText(QStringLiteral("Volume")));
    m_volume = new QSlider(Qt::Horizontal);
    m_volume->setAccessibleName(QStringLiteral("Volume"));
    m_volume->setRange(0, kVolumeSteps);
    volumeLayout->addWidget(m_volume, 1);
    main->addRow(volumeRow);
    main->setFooter(QStringLiteral(
        "Nothing plays while that terminal is in front, the screen is locked, or the notch is snoozed."));
    connect(m_enabled, &SettingsSwitch::toggled, this, [this](bool on) { m_settings->setEnabled(on); });
    connect(m_volume, &QSlider::valueChanged, this,
            [this](int value) { m_settings->setVolume(double(value) / kVolumeSteps); });

    SettingsSection* events = form->addSection(QStringLiteral("Events"));
    for (const SoundEvent event : allSoundEvents) {
        const EventTexts texts = textsFor(event);
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 2, 0, 2);
        rowLayout->setSpacing(10);
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        column->addWidget(bodyText(QString::fromUtf8(texts.title)));
        column->addWidget(SettingsSection::calloutLabel(QString::fromUtf8(texts.subtitle)));
        rowLayout->addLayout(column, 1);
        rowLayout->addSpacing(8);
        QComboBox* picker = soundPicker(*settings, QString::fromUtf8(texts.title));
        rowLayout->addWidget(picker);
        QToolButton* preview = new GlyphButton(QStringLiteral("play.circle"), QStringLiteral("Preview"));
        preview->setObjectName(QStringLiteral("preview-") + QString::fromUtf8(toString(event).data()));
        rowLayout->addWidget(preview);
        events->addRow(row);

        connect(picker, &QComboBox::activated, this, [this, picker, event](int index) {
            m_settings->setChoice(choiceOf(picker->itemData(index).toString()), event);
        });
        // Read at the press, so the preview plays what is chosen now, whatever the switches say.
        connect(preview, &QToolButton::clicked, this, [this, player, event] {
            if (player)
                player->preview(m_settings->choice(event));
        });
        m_rowRefreshers.push_back([this, picker, preview, event] {
            const SoundChoice choice = m_settings->choice(event);
            const QSignalBlocker block(picker);
            picker->setCurrentIndex(picker->findData(keyOf(choice)));
            preview->setEnabled(choice != SoundChoice::off());
        });
    }

    SettingsSection* quiet = form->addSection(QStringLiteral("Quiet hours"));
    m_quietHours = quiet->addSwitch(QStringLiteral("Silence during quiet hours"));
    m_quietRows.push_back(quiet->addRow(timePicker(
        QStringLiteral("From"), [this] { return m_settings->quietStartMinutes(); },
        [this](int minutes) { m_settings->setQuietStartMinutes(minutes); }, m_rowRefreshers)));
    m_quietRows.push_back(quiet->addRow(timePicker(
        QStringLiteral("Until"), [this] { return m_settings->quietEndMinutes(); },
        [this](int minutes) { m_settings->setQuietEndMinutes(minutes); }, m_rowRefreshers)));
    m_quietNow = quiet->addRow(SettingsSection::calloutGlyphLabel(
        QStringLiteral("moon.fill"), QStringLiteral("Quiet hours are active - sounds are muted")));
    quiet->setFooter(QStringLiteral("Mutes every sound between these times."));
    connect(m_quietHours, &SettingsSwitch::toggled, this,
            [this](bool on) { m_settings->setQuietHoursEnabled(on); });

    connect(settings, &SoundSettings::changed, this, &SoundSettingsTab::refresh);
    refresh();
}

void SoundSettingsTab::refresh()
{
    if (!m_settings)
        return;
    m_enabled->setCheckedQuietly(m_settings->isEnabled());
    {
        const QSignalBlocker block(m_volume);
        // The slider shows the stored value within its range; the value itself is never rewritten.
        m_volume->setValue(int(std::lround(std::clamp(m_settings->volume(), 0.0, 1.0) * kVolumeSteps)));
    }
    m_volume->setEnabled(m_settings->isEnabled());
    m_quietHours->setCheckedQuietly(m_settings->quietHoursEnabled());
    for (const auto& refreshRow : m_rowRefreshers)
        refreshRow();
    for (QWidget* row : m_quietRows)
        row->setVisible(m_settings->quietHoursEnabled());
    m_quietNow->setVisible(m_settings->quietHoursEnabled() && m_settings->isQuietNow());
}

} // namespace velquist
