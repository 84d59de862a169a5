#include "Settings/SettingsTab.h"

#include <algorithm>

namespace velquist::SettingsTabs {

namespace {

struct TabFacts
{
    SettingsTab tab;
    const char* raw;
    const char* title;
    const char* symbol;
    float red, green, blue;
};

constexpr std::array<TabFacts, 6> kFacts{{
    {SettingsTab::general, "general", "General", "gearshape.fill", 0.56f, 0.56f, 0.58f},
    {SettingsTab::sounds, "sounds", "Sounds", "speaker.wave.2.fill", 1.0f, 0.22f, 0.37f},
    {SettingsTab::usage, "usage", "Usage", "gauge.with.needle", 0.19f, 0.82f, 0.35f},
    {SettingsTab::privacy, "privacy", "Privacy", "eye.slash.fill", 0.04f, 0.52f, 1.0f},
    {SettingsTab::integrations, "integrations", "Integrations", "link", 0.75f, 0.35f, 0.95f},
    {SettingsTab::filters, "filters", "Filters", "line.3.horizontal.decrease", 0.39f, 0.82f, 1.0f},
}};

const TabFacts& facts(SettingsTab tab)
{
    return kFacts[std::size_t(index(tab))];
}

} // namespace

int index(SettingsTab tab)
{
    return int(std::find(all.begin(), all.end(), tab) - all.begin());
}

QString rawValue(SettingsTab tab)
{
    return QString::fromLatin1(facts(tab).raw);
}

std::optional<SettingsTab> fromRawValue(const QString& raw)
{
    for (const TabFacts& tab : kFacts) {
        if (raw == QLatin1String(tab.raw))
            return tab.tab;
    }
    return std::nullopt;
}

QString title(SettingsTab tab)
{
    return QString::fromLatin1(facts(tab).title);
}

QString symbol(SettingsTab tab)
{
    return QString::fromLatin1(facts(tab).symbol);
}

QColor iconColor(SettingsTab tab)
{
    const TabFacts& tabFacts = facts(tab);
    return QColor::fromRgbF(tabFacts.red, tabFacts.green, tabFacts.blue);
}

} // namespace velquist::SettingsTabs
