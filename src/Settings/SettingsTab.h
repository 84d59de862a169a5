#pragma once

#include <QColor>
#include <QString>
#include <array>
#include <optional>

namespace velquist {

// The settings window's tabs, in the order the tab bar shows them. Stored and posted names equal
// the case names.
enum class SettingsTab { general, sounds, usage, privacy, integrations, filters };

namespace SettingsTabs {

inline constexpr std::array<SettingsTab, 6> all{SettingsTab::general,      SettingsTab::sounds,
                                                SettingsTab::usage,        SettingsTab::privacy,
                                                SettingsTab::integrations, SettingsTab::filters};

// The case name: "general", "sounds", ...
QString rawValue(SettingsTab tab);
// The tab of a case name; none for any other text, letter case included.
std::optional<SettingsTab> fromRawValue(const QString& raw);
// The title under the tab's tile.
QString title(SettingsTab tab);
// The glyph on the tile.
QString symbol(SettingsTab tab);
// The tile's base colour, opaque.
QColor iconColor(SettingsTab tab);
// Position in `all`.
int index(SettingsTab tab);

} // namespace SettingsTabs
} // namespace velquist
