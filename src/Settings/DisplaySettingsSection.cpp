#include "Settings/DisplaySettingsSection.h"

#include "Core/DefaultsWatch.h"
#include "Platform/ScreenProvider.h"
#include "Platform/UserDefaults.h"
#include "Settings/SettingsPicker.h"
#include "Settings/SettingsSwitch.h"
#include "UI/Kit/SettingsStyle.h"
#include "Windows/DisplayIdentity.h"
#include "Windows/NotchPlacement.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>

namespace velquist {

namespace {

constexpr const char* kAllDisplays = "allDisplays";
constexpr const char* kLastClicked = "lastClicked";

} // namespace

DisplaySettingsSection::DisplaySettingsSection(UserDefaults& defaults, const ScreenProvider& screens,
                                               QWidget* parent)
    : SettingsSection({}, parent), m_defaults(defaults), m_screenProvider(screens),
      m_picker(new SettingsPicker), m_fullScreen(nullptr), m_idle(nullptr),
      m_watch(new DefaultsWatch(defaults, {displayModeKey, hidesOverFullScreenKey, hidesWhenIdleKey}, this))
{
    m_picker->setMinimumWidth(180);
    addRow(QStringLiteral("Show notch on"), m_picker);
    m_fullScreen = addSwitch(QStringLiteral("Hide over full-screen apps"));
    addNote(QStringLiteral("Appears anyway when an agent needs you."));
    m_idle = addSwitch(QStringLiteral("Hide when nothing needs you"));
    addNote(QStringLiteral("Hover the notch area to bring it back."));

    connect(m_picker, &QComboBox::activated, this, [this](int index) {
        const QString tag = m_picker->itemData(index).toString();
        if (!tag.isEmpty())
            m_defaults.setValue(displayModeKey, tag.toStdString());
    });
    connect(m_fullScreen, &QAbstractButton::toggled, this,
            [this](bool on) { m_defaults.setValue(hidesOverFullScreenKey, on); });
    connect(m_idle, &QAbstractButton::toggled, this,
            [this](bool on) { m_defaults.setValue(hidesWhenIdleKey, on); });
    connect(m_watch, &DefaultsWatch::changed, this, &DisplaySettingsSection::showStored);

    reloadScreens();
    watchScreens();
}

QString DisplaySettingsSection::screenName(const ScreenInfo& screen)
{
    const QString described = QStringList{screen.manufacturer, screen.model}.join(QLatin1Char(' ')).trimmed();
    return described.isEmpty() ? screen.connector : described;
}

std::vector<DisplaySettingsSection::ScreenOption>
DisplaySettingsSection::screenOptions(const std::vector<ScreenInfo>& screens,
                                      const std::optional<std::string>& displayMode)
{
    std::vector<ScreenOption> options;
    for (const ScreenInfo& screen : screens) {
        const auto id = DisplayIdentity::id(ScreenDescription::from(screen));
        if (!id)
            continue;
        options.push_back(
            {QString::fromStdString(NotchPlacement::display(*id).stored()), screenName(screen), true});
    }
    const NotchPlacement placement(displayMode);
    if (placement.kind == NotchPlacement::Kind::builtInOnly) {
        options.push_back({QStringLiteral("builtInOnly"), QStringLiteral("Built-in display"), false});
    } else if (placement.kind == NotchPlacement::Kind::display) {
        const QString tag = QString::fromStdString(placement.stored());
        const bool attached = std::any_of(options.begin(), options.end(),
                                          [&tag](const ScreenOption& option) { return option.tag == tag; });
        if (!attached)
            options.push_back({tag, QStringLiteral("Display"), false});
    }
    return options;
}

void DisplaySettingsSection::reloadScreens()
{
    m_screens = screenOptions(m_screenProvider.screens(), m_defaults.stringValue(displayModeKey));
    fillPicker();
    showStored();
}

void DisplaySettingsSection::fillPicker()
{
    const QSignalBlocker blocker(m_picker);
    m_picker->clear();
    m_picker->addItem(QStringLiteral("All displays"), QString::fromLatin1(kAllDisplays));
    m_picker->addItem(QStringLiteral("Wherever I last clicked"), QString::fromLatin1(kLastClicked));
    if (!m_screens.empty())
        m_picker->insertSeparator(m_picker->count());
    for (const ScreenOption& screen : m_screens) {
        m_picker->addItem(screen.isAttached ? screen.name : screen.name + QLatin1String(notConnectedSuffix),
                          screen.tag);
        if (!screen.isAttached)
            m_picker->setItemData(m_picker->count() - 1, SettingsStyle::secondaryText(), Qt::ForegroundRole);
    }
}

void DisplaySettingsSection::showStored()
{
    // An unknown value selects no row; the panels read it as all displays.
    const auto stored = m_defaults.stringValue(displayModeKey);
    const QString placement = QString::fromStdString(stored.value_or(kAllDisplays));
    {
        const QSignalBlocker blocker(m_picker);
        m_picker->setCurrentIndex(m_picker->findData(placement));
    }
    m_fullScreen->setCheckedQuietly(m_defaults.boolValue(hidesOverFullScreenKey).value_or(false));
    m_idle->setCheckedQuietly(m_defaults.boolValue(hidesWhenIdleKey).value_or(false));
}

void DisplaySettingsSection::watchScreens()
{
    const auto watch = [this](QScreen* screen) {
        connect(screen, &QScreen::geometryChanged, this, &DisplaySettingsSection::reloadScreens);
    };
    for (QScreen* screen : QGuiApplication::screens())
        watch(screen);
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this, watch](QScreen* screen) {
        watch(screen);
        reloadScreens();
    });
    // Queued: the screen list still holds the screen while this is announced.
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &DisplaySettingsSection::reloadScreens,
            Qt::QueuedConnection);
}

} // namespace velquist
