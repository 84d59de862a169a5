#include "Sound/SoundSettings.h"

#include "Platform/UserDefaults.h"
#include "Shared/Log.h"

#include <cmath>
#include <ctime>

namespace velquist {

namespace {

constexpr int minutesPerDay = 24 * 60;

std::optional<int> minutesOfDay(const nlohmann::json& value)
{
    if (!value.is_number_integer())
        return std::nullopt;
    const auto minutes = value.get<std::int64_t>();
    if (minutes < 0 || minutes >= minutesPerDay)
        return std::nullopt;
    return static_cast<int>(minutes);
}

} // namespace

SoundSettings::SoundSettings(UserDefaults& defaults, const Clock& clock, std::filesystem::path systemSounds,
                             QObject* parent)
    : QObject(parent), m_defaults(defaults), m_clock(clock), m_systemSounds(std::move(systemSounds))
{
    load();
}

// Each key stands on its own: one the user's file holds in a shape we do not know falls back to
// its default without taking the others with it. A sound name is taken only when the catalog
// offers it, so a stored value can never point playback at an arbitrary file.
void SoundSettings::load()
{
    const auto stored = m_defaults.value(key);
    if (!stored || !stored->is_object())
        return;
    const nlohmann::json& object = *stored;
    auto member = [&](const char* name) -> const nlohmann::json* {
        const auto found = object.find(name);
        return found == object.end() ? nullptr : &*found;
    };
    if (const auto* value = member("isEnabled"); value && value->is_boolean())
        m_isEnabled = value->get<bool>();
    if (const auto* value = member("volume");
        value && value->is_number() && std::isfinite(value->get<double>()))
        m_volume = value->get<double>();
    if (const auto* value = member("quietHoursEnabled"); value && value->is_boolean())
        m_quietHoursEnabled = value->get<bool>();
    if (const auto* value = member("quietStartMinutes"))
        m_quietStartMinutes = minutesOfDay(*value).value_or(m_quietStartMinutes);
    if (const auto* value = member("quietEndMinutes"))
        m_quietEndMinutes = minutesOfDay(*value).value_or(m_quietEndMinutes);
    if (const auto* value = member("choices"); value && value->is_object()) {
        const auto systemNames = SoundCatalog::system(m_systemSounds);
        for (const auto& [name, json] : value->items()) {
            const auto event = soundEventFromString(name);
            const auto choice = SoundChoice::fromJson(json);
            if (event && choice && SoundCatalog::contains(*choice, systemNames))
                m_choices[*event] = *choice;
            else
                Log::debug("sound", "ignoring stored choice for " + name);
        }
    }
}

void SoundSettings::save()
{
    nlohmann::json choices = nlohmann::json::object();
    for (const auto& [event, choice] : m_choices)
        choices[std::string(toString(event))] = choice.toJson();
    m_defaults.setValue(key, {{"isEnabled", m_isEnabled},
                              {"volume", m_volume},
                              {"choices", std::move(choices)},
                              {"quietHoursEnabled", m_quietHoursEnabled},
                              {"quietStartMinutes", m_quietStartMinutes},
                              {"quietEndMinutes", m_quietEndMinutes}});
}

template <typename T> void SoundSettings::assign(T& field, T value)
{
    const bool differs = !(field == value);
    field = std::move(value);
    save();
    if (differs)
        Q_EMIT changed();
}

void SoundSettings::setEnabled(bool value)
{
    assign(m_isEnabled, value);
}

void SoundSettings::setVolume(double value)
{
    if (std::isfinite(value))
        assign(m_volume, value);
}

void SoundSettings::setChoices(Choices value)
{
    assign(m_choices, std::move(value));
}

void SoundSettings::setQuietHoursEnabled(bool value)
{
    assign(m_quietHoursEnabled, value);
}

void SoundSettings::setQuietStartMinutes(int value)
{
    assign(m_quietStartMinutes, value);
}

void SoundSettings::setQuietEndMinutes(int value)
{
    assign(m_quietEndMinutes, value);
}

void SoundSettings::setChoice(const SoundChoice& choice, SoundEvent event)
{
    Choices next = m_choices;
    next[event] = choice;
    setChoices(std::move(next));
}

SoundChoice SoundSettings::choice(SoundEvent event) const
{
    const auto found = m_choices.find(event);
    return found == m_choices.end() ? SoundChoice::defaultFor(event) : found->second;
}

bool SoundSettings::isQuietNow() const
{
    if (!m_quietHoursEnabled)
        return false;
    const std::time_t now = std::chrono::system_clock::to_time_t(m_clock.now());
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return isQuietAt(0, m_quietStartMinutes, m_quietEndMinutes);
    return isQuietAt(local.tm_hour * 60 + local.tm_min, m_quietStartMinutes, m_quietEndMinutes);
}

bool SoundSettings::isQuietAt(int minutes, int start, int end)
{
    if (start == end)
        return false;
    if (start < end)
        return start <= minutes && minutes < end;
    return minutes >= start || minutes < end;
}

} // namespace velquist
