#include "Sound/SoundPlayer.h"

#include "Core/PrivacyGuard.h"
#include "Platform/SoundOutput.h"
#include "Shared/Log.h"
#include "Sound/SoundSettings.h"

#include <algorithm>
#include <cstdio>

namespace velquist {

namespace {

bool isRegularFile(const std::filesystem::path& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::string label(const SoundChoice& choice)
{
    if (const auto* builtIn = std::get_if<SoundChoice::BuiltIn>(&choice.value)) {
        std::string name = builtIn->name;
        if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
            name[0] = static_cast<char>(name[0] - 'a' + 'A');
        return name;
    }
    if (const auto* system = std::get_if<SoundChoice::System>(&choice.value))
        return system->name + " (system)";
    return "Off";
}

} // namespace

SoundPlayer::SoundPlayer(SoundSettings& settings, SoundOutput& output, std::filesystem::path builtInFolder)
    : m_settings(settings), m_output(output), m_builtInFolder(std::move(builtInFolder))
{
}

void SoundPlayer::setPrivacy(const PrivacyGuard* privacy)
{
    m_privacy = privacy;
}

void SoundPlayer::play(SoundEvent event)
{
    if (!m_settings.isEnabled() || m_settings.isQuietNow())
        return;
    playChoice(m_settings.choice(event));
}

void SoundPlayer::play(InterfaceSound sound)
{
    if (!m_settings.isEnabled() || m_settings.isQuietNow())
        return;
    if (m_privacy && m_privacy->isActive())
        return;
    playChoice(SoundChoice::builtIn(std::string(builtInName(sound))));
}

void SoundPlayer::preview(const SoundChoice& choice)
{
    playChoice(choice);
}

void SoundPlayer::playChoice(const SoundChoice& choice)
{
    const auto file = resolve(choice);
    if (!file)
        return;
    const double volume = std::clamp(m_settings.volume(), 0.0, 1.0);
    char level[16];
    std::snprintf(level, sizeof level, "%.2f", volume);
    Log::debug("sound", "playing " + label(choice) + " at " + level);
    // The cache key is the channel: the same sound restarts instead of overlapping itself.
    const auto* builtIn = std::get_if<SoundChoice::BuiltIn>(&choice.value);
    const std::string channel =
        builtIn ? "builtin:" + builtIn->name : "system:" + std::get<SoundChoice::System>(choice.value).name;
    m_output.play(channel, *file, volume);
}

// Names are looked up only among the catalog's sounds, so no stored or given name can reach a file
// outside the two sound folders.
std::optional<std::filesystem::path> SoundPlayer::resolve(const SoundChoice& choice)
{
    if (const auto* builtIn = std::get_if<SoundChoice::BuiltIn>(&choice.value)) {
        const std::string key = "builtin:" + builtIn->name;
        if (const auto cached = m_cache.find(key); cached != m_cache.end())
            return cached->second;
        const auto file = m_builtInFolder / (builtIn->name + ".wav");
        if (!SoundCatalog::isBuiltInSound(builtIn->name) || !isRegularFile(file)) {
            Log::debug("sound", "missing built-in " + builtIn->name + ".wav");
            return std::nullopt;
        }
        return m_cache[key] = file;
    }
    if (const auto* system = std::get_if<SoundChoice::System>(&choice.value)) {
        const std::string key = "system:" + system->name;
        if (const auto cached = m_cache.find(key); cached != m_cache.end())
            return cached->second;
        const auto names = SoundCatalog::system(m_settings.systemSounds());
        const auto file = m_settings.systemSounds() / (system->name + ".oga");
        if (std::ranges::find(names, system->name) == names.end() || !isRegularFile(file)) {
            Log::debug("sound", "missing system sound " + system->name);
            return std::nullopt;
        }
        return m_cache[key] = file;
    }
    return std::nullopt;
}

} // namespace velquist
